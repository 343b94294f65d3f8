#include "speech/library_bits.h"

namespace vendrel {
namespace {

constexpr std::size_t kNewHeaderOffset = 0x3C; // where the DOS header keeps the PE offset
constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kMachineArmNt = 0x1C4;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kMachineArm64 = 0xAA64;

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

} // namespace

std::optional<std::int32_t> libraryBits(std::string_view firstBytes) {
    if (firstBytes.size() < kNewHeaderOffset + 4 || firstBytes.substr(0, 2) != "MZ") {
        return std::nullopt;
    }
    const std::size_t header = littleEndian(firstBytes, kNewHeaderOffset, 4);
    // The signature and the machine field after it; an offset past the bytes read is no file
    // we can judge (compared without adding, so no offset can wrap around).
    if (header > firstBytes.size() || firstBytes.size() - header < 6 ||
        firstBytes.substr(header, 4) != std::string_view("PE\0\0", 4)) {
        return std::nullopt;
    }
    switch (littleEndian(firstBytes, header + 4, 2)) {
    case kMachineI386:
    case kMachineArmNt:
        return 32;
    case kMachineAmd64:
    case kMachineArm64:
        return 64;
    default:
        return std::nullopt;
    }
}

} // namespace vendrel
