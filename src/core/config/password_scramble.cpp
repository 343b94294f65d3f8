#include "config/password_scramble.h"

#include <array>
#include <utility>

namespace vendrel {

std::string scramblePassword(std::string_view text, std::span<const std::uint8_t> key) {
    std::array<std::uint8_t, 256> s{};
    for (std::size_t n = 0; n < s.size(); ++n) {
        s[n] = static_cast<std::uint8_t>(n);
    }
    std::uint8_t i = 0;
    std::uint8_t j = 0;
    if (!key.empty()) {
        for (std::size_t n = 0; n < s.size(); ++n) {
            j = static_cast<std::uint8_t>(j + s[n] + key[n % key.size()]);
            std::swap(s[n], s[j]);
        }
        j = 0;
    }
    const auto nextByte = [&] {
        i = static_cast<std::uint8_t>(i + 1);
        j = static_cast<std::uint8_t>(j + s[i]);
        std::swap(s[i], s[j]);
        return s[static_cast<std::uint8_t>(s[i] + s[j])];
    };
    for (int n = 0; n < 1024; ++n) {
        nextByte();
    }
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(static_cast<std::uint8_t>(c) ^ nextByte());
    }
    return out;
}

std::string hexEncode(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

std::optional<std::string> hexDecode(std::string_view text) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::string out;
    out.reserve(text.size() / 2 + 1);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = i + 1 < text.size() ? digit(text[i + 1]) : 0;
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(i + 1 < text.size() ? high * 16 + low : high));
    }
    return out;
}

} // namespace vendrel
