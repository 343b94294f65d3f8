#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ports/main_window.h"
#include "ports/platform.h"
#include "ports/system_environment.h"

namespace vendrel::testing {

class FakePlatform final : public Platform {
public:
    std::string locale = "English_United States.1252";
    int calls = 0;
    std::map<std::string, std::string> presets; // by lower-case name
    std::uint32_t window = 0xFFFFFF;
    LocalTime now{2026, 12, 7, 9, 5, 3};
    std::vector<std::u16string> errors;

    // Presets of two views and one channel in place of the ones the program carries, for
    // programs that load and save a server's files without the resource script.
    void useSmallPresets() {
        presets["defv20000"] = std::string("\xff\xff\xff\xff\x01\x00\x00\x00", 8);
        presets["defc20000"] = std::string(16, '\x07');
        presets["defcolors20000"] = std::string(8, '\x10');
    }

    std::string userLocaleName() override {
        ++calls;
        return locale;
    }
    std::optional<std::string> presetData(std::string_view name) override {
        std::string lower(name);
        for (char& c : lower) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        const auto it = presets.find(lower);
        return it == presets.end() ? std::nullopt : std::optional(it->second);
    }
    std::uint32_t windowColour() override { return window; }
    LocalTime localTime() override { return now; }
    void showError(const std::u16string& caption, const std::u16string& text) override {
        errors.push_back(caption + u": " + text);
    }
};

class FakeMainWindow final : public MainWindow {
public:
    std::vector<std::u16string> titles;
    void setTitle(const std::u16string& title) override { titles.push_back(title); }
};

class FakeSystemEnvironment final : public SystemEnvironment {
public:
    std::map<std::string, std::string> variables;
    std::string programFile = "C:\\Games\\Vendrel\\vendrel.exe";
    std::optional<std::uint32_t> serial = 0x12345678;
    bool socketsStart = true;
    std::vector<std::string> calls;

    void installCrashHandlers() override { calls.push_back("crash handlers"); }
    bool startSockets() override {
        calls.push_back("sockets");
        return socketsStart;
    }
    OsVersion osVersion() override { return {10, 0, 19045, 0, 0}; }
    std::string programPath() override { return programFile; }
    std::optional<std::string> variable(std::string_view name) override {
        const auto it = variables.find(std::string(name));
        return it == variables.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::uint32_t> volumeSerial(const std::string& root) override {
        calls.push_back("volume " + root);
        return serial;
    }
};

} // namespace vendrel::testing
