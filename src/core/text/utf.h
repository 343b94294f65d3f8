#pragma once
// Conversions between 8-bit text and UTF-16. The protocol, the settings and language files
// and the logs hold UTF-8; every window holds UTF-16.

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrel {

// The only code page the program uses for text; 0 (the system's ANSI page) is accepted and
// treated as UTF-8 as well, because every path goes through the wide file APIs.
inline constexpr unsigned kCodePageUtf8 = 65001;

// Invalid or truncated UTF-8 sequences become U+FFFD, as the system conversion does.
[[nodiscard]] std::u16string toWide(std::string_view text, unsigned codePage = kCodePageUtf8);
// Unpaired surrogates become U+FFFD.
[[nodiscard]] std::string toNarrow(std::u16string_view text, unsigned codePage = kCodePageUtf8);

// A null pointer gives the empty string.
[[nodiscard]] std::u16string wideFromUtf8z(const char* text);
[[nodiscard]] std::u16string wideFromz(const char16_t* text);
[[nodiscard]] std::u16string wideFromInt(std::int32_t value);

} // namespace vendrel
