#pragma once
// What start-up needs from the operating system before any window exists.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/app_state.h"

namespace vendrel {

class SystemEnvironment {
public:
    virtual ~SystemEnvironment() = default;

    // GUI thread, all of them; called once each, in start-up order.
    virtual void installCrashHandlers() = 0;
    [[nodiscard]] virtual bool startSockets() = 0;
    [[nodiscard]] virtual OsVersion osVersion() = 0;
    // Full path of the program file, UTF-8.
    [[nodiscard]] virtual std::string programPath() = 0;
    // UTF-8; nothing when the variable is not set.
    [[nodiscard]] virtual std::optional<std::string> variable(std::string_view name) = 0;
    // The serial number of the volume whose root is given ("C:\"); nothing when the query fails.
    [[nodiscard]] virtual std::optional<std::uint32_t> volumeSerial(const std::string& root) = 0;
};

} // namespace vendrel
