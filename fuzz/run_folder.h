#pragma once
// A folder of this fuzzing process's own, made once and reused by every run: targets that go
// through files (settings, downloads, sounds) write there. In memory where the system has such
// a folder, as the saves flush every file to the disk, which would slow each run a hundredfold.

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
        const auto base = std::filesystem::is_directory("/dev/shm", error)
                              ? std::filesystem::path("/dev/shm")
                              : std::filesystem::temp_directory_path();
        const auto path =
            base / ("vendrel-" + std::string(target) + "-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        static std::filesystem::path made = path;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        return utf8FromPath(path) + kPathSeparator;
    }();
    return folder;
}

inline void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream(pathFromUtf8(path), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace vendrel::fuzzing
