#pragma once
// A folder of this fuzzing process's own for the targets that go through files, removed at
// exit. In memory where the system has such a folder: the saves flush every file to the disk,
// which would slow each run a hundredfold.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "app/files.h"

namespace vendrel::fuzzing {

// UTF-8, with its trailing separator, as the core's folders are.
inline const std::string& runFolder(std::string_view target) {
    static const std::string folder = [&] {
        std::error_code error;
        const bool hasMemoryFolder = std::filesystem::is_directory("/dev/shm", error);
        // Made before the removal is registered, so it is still there when the removal runs.
        static const std::filesystem::path path =
            (hasMemoryFolder ? std::filesystem::path("/dev/shm")
                             : std::filesystem::temp_directory_path()) /
            ("vendrel-" + std::string(target) + "-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        });
        return utf8FromPath(path) + kPathSeparator;
    }();
    return folder;
}

inline void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream(pathFromUtf8(path), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace vendrel::fuzzing
