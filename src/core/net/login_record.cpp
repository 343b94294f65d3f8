#include "net/login_record.h"

#include <algorithm>

#include "text/format.h"

namespace vendrel {

std::string toBase36(std::uint64_t value) {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string out;
    do {
        out += kDigits[value % 36];
        value /= 36;
    } while (value != 0);
    std::reverse(out.begin(), out.end());
    return out;
}

std::uint32_t systemVersionCode(std::uint32_t major, std::uint32_t minor) {
    return 0x10000u + major * 256u + minor;
}

std::string buildLoginRecord(const LoginRecordInput& input) {
    const std::string version = toBase36(kClientVersionPacked);
    // The server reads the engine as an unsigned 32-bit number: a negative sum goes out as
    // its two's complement, never with a minus sign.
    const auto engine = static_cast<std::uint32_t>(std::int64_t{input.speechEngine} + 2);
    return formatText(kMaxLoginRecord + 1, "%s\x7f%s\x7f%s\x7f%s\x7f%s\x7f%s\x7f%s\x7f%s",
                      input.login, input.password, input.language, version,
                      toBase36(input.machineKey), version, toBase36(input.systemVersion),
                      toBase36(engine));
}

} // namespace vendrel
