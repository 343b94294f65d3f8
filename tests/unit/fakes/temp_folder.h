#pragma once
// A fresh folder per test, removed afterwards; its path ends with the core's separator.

#include <filesystem>
#include <random>
#include <string>

#include "app/files.h"

namespace vendrel::testing {

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("vendrel-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // UTF-8, with a trailing separator.
    std::string str() const { return utf8FromPath(path_) + kPathSeparator; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace vendrel::testing
