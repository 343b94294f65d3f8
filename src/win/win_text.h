#pragma once
// The core holds UTF-16 as char16_t; Win32 takes wchar_t, which is the same 16-bit unit here.

#include <string>
#include <string_view>

#include "text/utf.h"

namespace vendrel::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16");

inline std::wstring toWin(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

inline std::u16string fromWin(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

inline std::wstring utf8ToWin(std::string_view text) {
    return toWin(toWide(text));
}

inline std::string winToUtf8(std::wstring_view text) {
    return toNarrow(fromWin(text));
}

} // namespace vendrel::win
