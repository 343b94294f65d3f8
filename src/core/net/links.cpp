#include "net/links.h"

#include <array>
#include <string>

namespace vendrel {

bool isLinkAllowed(std::string_view link, std::string_view webHost) {
    for (const std::string_view scheme : {"skype:", "callto:", "mailto:"}) {
        if (link.substr(0, scheme.size()) == scheme) {
            return true;
        }
    }
    for (const std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (link.substr(0, scheme.size()) == scheme) {
            const std::string site = std::string(scheme) + std::string(webHost) + "/";
            return !webHost.empty() && link.substr(0, site.size()) == site;
        }
    }
    return false;
}

} // namespace vendrel
