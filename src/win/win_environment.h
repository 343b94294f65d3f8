#pragma once
// The Windows side of start-up: sockets, OS version, folders, the volume serial number, and
// the user's locale.

#include <windows.h>

#include "ports/platform.h"
#include "ports/system_environment.h"

namespace vendrel::win {

class WinSystemEnvironment final : public SystemEnvironment {
public:
    explicit WinSystemEnvironment(AppState& state) : state_(state) {}
    ~WinSystemEnvironment() override;

    void installCrashHandlers() override;
    bool startSockets() override;
    OsVersion osVersion() override;
    std::string programPath() override;
    std::optional<std::string> variable(std::string_view name) override;
    std::optional<std::uint32_t> volumeSerial(const std::string& root) override;

private:
    AppState& state_;
    bool socketsStarted_ = false;
};

class WinPlatform final : public Platform {
public:
    // Error boxes are owned by the main window once it exists.
    void setOwner(HWND owner) { owner_ = owner; }

    std::string userLocaleName() override;
    std::optional<std::string> presetData(std::string_view name) override;
    std::uint32_t windowColour() override;
    LocalTime localTime() override;
    void showError(const std::u16string& caption, const std::u16string& text) override;

private:
    HWND owner_ = nullptr;
};

} // namespace vendrel::win
