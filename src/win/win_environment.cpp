#include "win_environment.h"

#include <windows.h>
#include <winsock2.h>

#include <clocale>
#include <vector>

#include "crash_handler.h"
#include "win_text.h"

namespace vendrel::win {

WinSystemEnvironment::~WinSystemEnvironment() {
    if (socketsStarted_) {
        WSACleanup();
    }
}

void WinSystemEnvironment::installCrashHandlers() {
    installCrashHandler(state_);
}

bool WinSystemEnvironment::startSockets() {
    WSADATA data{};
    socketsStarted_ = WSAStartup(MAKEWORD(2, 0), &data) == 0;
    return socketsStarted_;
}

OsVersion WinSystemEnvironment::osVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
#pragma GCC diagnostic pop
    return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.wServicePackMajor,
            info.wServicePackMinor};
}

std::string WinSystemEnvironment::programPath() {
    // Wide, and grown as needed: a program folder may hold any character and be long.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return winToUtf8(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> WinSystemEnvironment::variable(std::string_view name) {
    const std::wstring wideName = utf8ToWin(name);
    const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (needed == 0) {
        return std::nullopt;
    }
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), needed);
    value.resize(length < needed ? length : 0);
    return winToUtf8(value);
}

std::optional<std::uint32_t> WinSystemEnvironment::volumeSerial(const std::string& root) {
    DWORD serial = 0;
    if (!GetVolumeInformationW(utf8ToWin(root).c_str(), nullptr, 0, &serial, nullptr, nullptr,
                               nullptr, 0)) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(serial);
}

std::string WinPlatform::userLocaleName() {
    // The runtime names the user's locale "Language_Country.codepage". The process goes back
    // to the "C" locale afterwards, so no number is ever printed with a decimal comma.
    const char* name = std::setlocale(LC_ALL, "");
    std::string locale = name ? name : "";
    std::setlocale(LC_ALL, "C");
    return locale;
}

std::optional<std::string> WinPlatform::presetData(std::string_view name) {
    // Resource names are matched without regard to case by the system itself.
    HRSRC resource = FindResourceW(nullptr, utf8ToWin(name).c_str(), MAKEINTRESOURCEW(10));
    HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        return std::nullopt;
    }
    return std::string(static_cast<const char*>(bytes), SizeofResource(nullptr, resource));
}

std::uint32_t WinPlatform::windowColour() {
    return GetSysColor(COLOR_WINDOW);
}

LocalTime WinPlatform::localTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

void WinPlatform::showError(const std::u16string& caption, const std::u16string& text) {
    MessageBoxW(owner_, toWin(text).c_str(), toWin(caption).c_str(), MB_ICONERROR);
}

} // namespace vendrel::win
