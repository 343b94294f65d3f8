#include "config/client_settings.h"

#ifndef VENDREL_DEFAULT_HOST
#define VENDREL_DEFAULT_HOST "localhost"
#endif
#ifndef VENDREL_DEFAULT_WEB_HOST
#define VENDREL_DEFAULT_WEB_HOST "localhost:1380"
#endif

namespace vendrel {

const char* BuiltInServer::host() {
    return VENDREL_DEFAULT_HOST;
}

const char* BuiltInServer::webHost() {
    return VENDREL_DEFAULT_WEB_HOST;
}

std::size_t defaultServerIndex(const ClientSettings& settings, const ServerList& servers) {
    const auto index = settings.defaultServer;
    return index >= 0 && static_cast<std::size_t>(index) < servers.size()
               ? static_cast<std::size_t>(index)
               : 0;
}

} // namespace vendrel
