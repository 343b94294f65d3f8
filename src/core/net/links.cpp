#include "net/links.h"

#include <array>
#include <string>

#include "net/http_client.h"

namespace vendrel {

bool isLinkAllowed(std::string_view link, std::string_view webHost) {
    for (const std::string_view scheme : {"skype:", "callto:", "mailto:"}) {
        if (link.substr(0, scheme.size()) == scheme) {
            return true;
        }
    }
    // A web host written with its scheme ("https://site") names the same site.
    const std::string site = parseWebHost(webHost).authority;
    for (const std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (link.substr(0, scheme.size()) == scheme) {
            const std::string prefix = std::string(scheme) + site + "/";
            return !site.empty() && link.substr(0, prefix.size()) == prefix;
        }
    }
    return false;
}

} // namespace vendrel
