// Links in history lines: the first web, ftp or call link of a line is opened on a click or
// on the open-link key.

#include <array>
#include <string>

#include "app/app_state.h"
#include "config/client_settings.h"
#include "history/history.h"
#include "ports/shell.h"
#include "text/utf.h"

namespace vendrel {
namespace {

// Searched in this order, each through the whole text: the first scheme found wins wherever
// it stands.
constexpr std::array<std::u16string_view, 4> kSchemes{u"http://", u"https://", u"ftp://",
                                                      u"skype://"};
// A link ends before one of these, looked for from its ninth character on.
constexpr std::u16string_view kTerminators = u" {}()[]<>:|\f";
constexpr std::size_t kTerminatorSearchStart = 8;

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

std::optional<std::u16string> firstLink(std::u16string_view text) {
    for (const std::u16string_view scheme : kSchemes) {
        const std::size_t at = text.find(scheme);
        if (at == std::u16string_view::npos) {
            continue;
        }
        const std::u16string_view rest = text.substr(at);
        std::size_t end = rest.find_first_of(kTerminators, kTerminatorSearchStart);
        // A colon before digits is a port ("localhost:1380"), part of the address.
        while (end != std::u16string_view::npos && rest[end] == u':' && end + 1 < rest.size() &&
               isDigit(rest[end + 1])) {
            end = rest.find_first_of(kTerminators, end + 1);
        }
        return std::u16string(rest.substr(0, end));
    }
    return std::nullopt;
}

// With automatic links off only the selected server's own web site opens.
bool isOnWebHost(std::u16string_view link, const std::string& webHost) {
    const std::u16string site = u"://" + toWide(webHost) + u"/";
    for (std::size_t at = 3; at <= 8 && at <= link.size(); ++at) {
        if (link.substr(at, site.size()) == site) {
            return true;
        }
    }
    return false;
}

void replaceAll(std::u16string& text, std::u16string_view pattern, std::u16string_view with) {
    for (std::size_t at = text.find(pattern); at != std::u16string::npos;
         at = text.find(pattern, at + with.size())) {
        text.replace(at, pattern.size(), with);
    }
}

} // namespace

void History::openLinkInText(std::u16string_view text) {
    std::optional<std::u16string> link = firstLink(text);
    const std::string webHost =
        state_.servers.empty()
            ? std::string()
            : state_.servers[defaultServerIndex(state_.settings, state_.servers)].webHost;
    if (!link || (!state_.settings.allowAutoLinks && !isOnWebHost(*link, webHost))) {
        ports_.shell.beep();
        return;
    }
    replaceAll(*link, u"skype://", u"skype:");
    ports_.shell.openLink(toNarrow(*link));
}

} // namespace vendrel
