#pragma once
// The bitness of a Windows library file, read from its headers. A 64-bit program cannot load a
// 32-bit DLL (nor the other way round), and the loader says only "bad format": the player who
// copied the wrong one of a screen reader's two controller libraries needs to hear which it is.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vendrel {

// How many bytes from the start of a file libraryBits needs at most for an ordinary file.
inline constexpr std::size_t kLibraryHeaderBytes = 4096;

// 32 or 64 from the first bytes of a DLL or EXE; nothing when they are not the headers of a
// Windows program for a machine we know. Only the file header's machine field is read: it
// stands at the same place in 32-bit and 64-bit files.
[[nodiscard]] std::optional<std::int32_t> libraryBits(std::string_view firstBytes);

} // namespace vendrel
