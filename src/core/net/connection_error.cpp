#include "net/connection_error.h"

#include "ports/socket_system.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {

std::u16string connectionErrorText(int result, std::string_view lastError,
                                   const std::u16string& systemText,
                                   const std::function<std::u16string(std::string_view)>& tr) {
    if (!lastError.empty()) {
        return toWide(lastError);
    }
    // Our own numbers: the system has no text for them, and the player must hear that the
    // server's identity could not be proven, not a bare code.
    if (result == kErrorTlsCertificate) {
        return tr("tlscertificateerror");
    }
    if (result == kErrorTlsFailed) {
        return tr("tlserror");
    }
    if (result > 0) {
        return formatWide(2047, u"%s\r\n%s\r\nCode d'erreur: %d", tr("connecterrorprolog"),
                          systemText, result);
    }
    return tr("connecterror");
}

} // namespace vendrel
