#pragma once

#include "ports/platform.h"

namespace vendrel {

// For native tools: no resources, no windows; errors go to the standard error stream.
class PosixPlatform final : public Platform {
public:
    std::string userLocaleName() override;
    std::optional<std::string> presetData(std::string_view) override { return std::nullopt; }
    std::uint32_t windowColour() override { return 0xFFFFFF; }
    LocalTime localTime() override;
    void showError(const std::u16string& caption, const std::u16string& text) override;
};

} // namespace vendrel
