#include "net/connection_error.h"

#include "text/format.h"
#include "text/utf.h"

namespace vendrel {

std::u16string connectionErrorText(int result, std::string_view lastError,
                                   const std::u16string& systemText,
                                   const std::function<std::u16string(std::string_view)>& tr) {
    if (!lastError.empty()) {
        return toWide(lastError);
    }
    if (result > 0) {
        return formatWide(2047, u"%s\r\n%s\r\nCode d'erreur: %d", tr("connecterrorprolog"),
                          systemText, result);
    }
    return tr("connecterror");
}

} // namespace vendrel
