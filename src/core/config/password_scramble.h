#pragma once
// Remembered passwords are kept in config.ini scrambled with the machine key (RC4 with the
// first 1024 bytes of key stream dropped) and hex-coded, so a copied config.ini neither shows
// them nor works on another machine.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vendrel {

// The same call scrambles and unscrambles. An empty key leaves the schedule unkeyed.
[[nodiscard]] std::string scramblePassword(std::string_view text,
                                           std::span<const std::uint8_t> key);

// Two lower-case digits a byte.
[[nodiscard]] std::string hexEncode(std::string_view bytes);
// Pairs of hexadecimal digits; an odd final digit is read alone. Nothing when a character is
// not a hexadecimal digit.
[[nodiscard]] std::optional<std::string> hexDecode(std::string_view text);

} // namespace vendrel
