#pragma once
// The machine key: the volume serial number of the user folder's drive, mixed with a mask of
// our own. It keys the remembered passwords and identifies the machine at login.

#include <array>
#include <cstdint>

namespace vendrel {

inline constexpr std::uint32_t kMachineKeyMask = 0x5EA7C0DEu;

struct MachineKey {
    std::uint64_t value = 0; // the high half is always zero

    // Little-endian, as the password scrambling takes them.
    [[nodiscard]] std::array<std::uint8_t, 8> bytes() const {
        std::array<std::uint8_t, 8> out{};
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
        return out;
    }
};

[[nodiscard]] constexpr MachineKey machineKeyFromSerial(std::uint32_t volumeSerial) {
    return MachineKey{static_cast<std::uint64_t>(volumeSerial ^ kMachineKeyMask)};
}

} // namespace vendrel
