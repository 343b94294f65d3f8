#pragma once
// File access for the core. Paths are UTF-8; on Windows they reach the wide file APIs, so a
// user folder with non-ASCII characters works.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel {

// Folders in the settings and logs end with this separator.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

[[nodiscard]] std::filesystem::path pathFromUtf8(std::string_view path);
[[nodiscard]] std::string utf8FromPath(const std::filesystem::path& path);

// The regular files of a folder, in the order the system lists them; none when it cannot be
// listed. Never throws, whatever happens to the folder meanwhile.
[[nodiscard]] std::vector<std::filesystem::path> filesIn(const std::string& folder);

// The whole file, or nothing when it cannot be opened or read.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::string& path);

// Makes a written file's bytes durable on the disk (fsync, FlushFileBuffers); false when it
// cannot be opened or the disk reports an error. The OS call lives in the platform's folder
// (src/posix/file_sync.cpp, src/win/file_sync.cpp), picked by the build.
[[nodiscard]] bool flushFileToDisk(const std::filesystem::path& file);

using FileFlush = std::function<bool(const std::filesystem::path& file)>;

// Writes the bytes to a temporary file in the target's folder (the target's name, ".tmp" and a
// number), flushes it to the disk and moves it over the target. On any failure the target is
// left as it was and the temporary file is removed.
[[nodiscard]] bool replaceFileAtomically(const std::string& path, std::string_view bytes,
                                         const FileFlush& flush = flushFileToDisk);

// The target's name when fileName is one of those temporary names ("config.ini" for
// "config.ini.tmp3"), else nothing: a save killed halfway leaves such a file behind.
[[nodiscard]] std::optional<std::string_view> targetOfTemporaryFile(std::string_view fileName);

} // namespace vendrel
