#pragma once
// Which links from the server the client opens.

#include <string_view>

namespace vendrel {

// Web, mail and call links only; web and ftp links only on the selected server's own web host.
[[nodiscard]] bool isLinkAllowed(std::string_view link, std::string_view webHost);

} // namespace vendrel
