#pragma once
// The login record: eight fields joined by the field separator, sent Base64-encoded in the
// handshake URL. Numbers go in base 36, which is what the server parses.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/version.h"

namespace vendrel {

// The version packed as major * 65536 + minor * 256 + patch (2.1.1 is "2tc1" in base 36).
inline constexpr std::uint32_t kClientVersionPacked =
    VENDREL_VERSION_MAJOR * 65536u + VENDREL_VERSION_MINOR * 256u + VENDREL_VERSION_PATCH;
// Longest record we send, in bytes; longer ones are cut.
inline constexpr std::size_t kMaxLoginRecord = 1023;

struct LoginRecordInput {
    std::string_view login;    // UTF-8
    std::string_view password; // UTF-8, in clear: the URL encoding is the only disguise
    std::string_view language; // the language file's "isocode" text, UTF-8
    std::uint64_t machineKey = 0;
    std::uint32_t systemVersion = 0; // see systemVersionCode
    std::int32_t speechEngine = 0;   // the speech bridge's engine value
};

// Digits 0-9 then a-z, no leading zeros, "0" for zero.
[[nodiscard]] std::string toBase36(std::uint64_t value);

// 0x10000 + major * 256 + minor of the operating system.
[[nodiscard]] std::uint32_t systemVersionCode(std::uint32_t major, std::uint32_t minor);

[[nodiscard]] std::string buildLoginRecord(const LoginRecordInput& input);

} // namespace vendrel
