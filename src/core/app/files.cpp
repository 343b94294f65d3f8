#include "app/files.h"

#include <atomic>
#include <fstream>
#include <system_error>

namespace vendrel {

std::filesystem::path pathFromUtf8(std::string_view path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::vector<std::filesystem::path> filesIn(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    std::filesystem::directory_iterator item(pathFromUtf8(folder), error);
    for (; !error && item != std::filesystem::directory_iterator(); item.increment(error)) {
        std::error_code ignored;
        if (item->is_regular_file(ignored)) {
            files.push_back(item->path());
        }
    }
    return files;
}

std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

namespace {

constexpr std::string_view kTemporarySuffix = ".tmp";

} // namespace

bool replaceFileAtomically(const std::string& path, std::string_view bytes,
                           const FileFlush& flush) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path target = pathFromUtf8(path);
    std::filesystem::path temporary = target;
    temporary += std::string(kTemporarySuffix) + std::to_string(counter.fetch_add(1));
    const auto giveUp = [&temporary] {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    };
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            return giveUp();
        }
    }
    // Without this the rename can reach the disk before the bytes do, and a power cut then
    // leaves an empty file where the old one was.
    if (!flush(temporary)) {
        return giveUp();
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    return error ? giveUp() : true;
}

std::optional<std::string_view> targetOfTemporaryFile(std::string_view fileName) {
    const std::size_t digits = fileName.find_last_not_of("0123456789") + 1;
    if (digits == fileName.size() || digits < kTemporarySuffix.size() + 1 ||
        fileName.substr(digits - kTemporarySuffix.size(), kTemporarySuffix.size()) !=
            kTemporarySuffix) {
        return std::nullopt;
    }
    return fileName.substr(0, digits - kTemporarySuffix.size());
}

} // namespace vendrel
