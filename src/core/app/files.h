#pragma once
// File access for the core. Paths are UTF-8; on Windows they reach the wide file APIs, so a
// user folder with non-ASCII characters works.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vendrel {

// Folders in the settings and logs end with this separator.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

[[nodiscard]] std::filesystem::path pathFromUtf8(std::string_view path);
[[nodiscard]] std::string utf8FromPath(const std::filesystem::path& path);

// The whole file, or nothing when it cannot be opened or read.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::string& path);

// Writes the bytes to a temporary file in the target's folder, flushes it and moves it over the
// target. On any failure the target is left as it was and the temporary file is removed.
[[nodiscard]] bool replaceFileAtomically(const std::string& path, std::string_view bytes);

} // namespace vendrel
