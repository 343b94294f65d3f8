#include "net/downloads.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "app/files.h"
#include "ports/history_sink.h"
#include "text/format.h"
#include "text/numbers.h"
#include "text/utf.h"

namespace vendrel {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

bool isReservedDeviceName(std::string_view part) {
    // The name before the first dot counts: "nul.txt" and "COM1.ogg" are devices too, and so
    // is "nul .txt", as Windows drops the blanks before the dot.
    std::string_view stemText = part.substr(0, part.find('.'));
    while (!stemText.empty() && stemText.back() == ' ') {
        stemText.remove_suffix(1);
    }
    const std::string stem = upper(stemText);
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
    if (std::find(kPlain.begin(), kPlain.end(), stem) != kPlain.end()) {
        return true;
    }
    if (!stem.starts_with("COM") && !stem.starts_with("LPT")) {
        return false;
    }
    const std::string_view number = std::string_view(stem).substr(3);
    // Windows also takes the superscript digits one, two and three (U+00B9, U+00B2, U+00B3)
    // as port numbers; names are UTF-8, so these are two bytes each.
    static constexpr std::array<std::string_view, 3> kSuperscripts = {"\xC2\xB9", "\xC2\xB2",
                                                                      "\xC2\xB3"};
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') ||
           std::find(kSuperscripts.begin(), kSuperscripts.end(), number) != kSuperscripts.end();
}

bool isSafePart(std::string_view part) {
    if (part.empty() || part == "." || part == "..") {
        return false;
    }
    if (part.back() == '.' || part.back() == ' ') {
        return false;
    }
    return !isReservedDeviceName(part);
}

} // namespace

DownloadRequest parseDownloadRequest(std::string_view arguments) {
    DownloadRequest request;
    std::size_t i = 0;
    while (i < arguments.size() && isSpace(arguments[i])) {
        ++i;
    }
    const std::size_t start = i;
    while (i < arguments.size() && !isSpace(arguments[i])) {
        ++i;
    }
    request.name = arguments.substr(start, i - start);
    const ParsedInteger stamp = parseInteger(arguments.substr(i), 10);
    // Stream extraction of an unsigned number: a minus sign or garbage reads as 0.
    request.stamp =
        stamp.length > 0 && stamp.value > 0 ? static_cast<std::uint64_t>(stamp.value) : 0;
    if (stamp.length > 0 && stamp.value == INT64_MAX) {
        request.stamp = UINT64_MAX;
    }
    return request;
}

bool isSafeDownloadName(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == ':' || c == '*' || c == '?' || c == '"' ||
            c == '<' || c == '>' || c == '|') {
            return false;
        }
    }
    if (name.front() == '/' || name.front() == '\\') {
        return false; // absolute, UNC, "\\?\" and "\\.\" paths all start here
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("/\\", start);
        if (!isSafePart(name.substr(start, end - start))) {
            return false;
        }
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::string localDownloadPath(const std::string& programFolder, std::string_view name) {
    std::string path = programFolder + std::string(name);
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(programFolder.size()), path.end(),
                 kPathSeparator == '/' ? '\\' : '/', kPathSeparator);
    return path;
}

std::string remoteDownloadPath(std::string_view baseDir, std::string_view name) {
    std::string path = std::string(baseDir) + std::string(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::uint64_t localFileTime(const std::string& path) {
    std::error_code error;
    const auto written = std::filesystem::last_write_time(pathFromUtf8(path), error);
    if (error) {
        return 0;
    }
    const auto sinceEpoch = std::chrono::file_clock::to_sys(written).time_since_epoch();
    const auto ticks =
        std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count() / 100;
    return ticks > 0 ? static_cast<std::uint64_t>(ticks) : 0;
}

int downloadFile(SocketSystem& sockets, const DownloadJob& job, const HttpLimits& limits) {
    const HttpResponse response = httpRequest(sockets, job.webHost, job.remotePath, "GET", limits);
    if (response.result != 0) {
        return response.result;
    }
    std::error_code error;
    const std::filesystem::path target = pathFromUtf8(job.localPath);
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), error);
    }
    return replaceFileAtomically(job.localPath, response.body()) ? 0 : kDownloadNotWritten;
}

void doDownload(const DownloadJob& job, SocketSystem& sockets, HistorySink& history,
                const Translate& tr, const HttpLimits& limits) {
    const std::u16string name = toWide(job.name);
    history.historyAdd(formatWide(512, tr("downloadingStart"), name), kDownloadChannel);
    const int result = downloadFile(sockets, job, limits);
    history.historyAdd(result != 0 ? formatWide(512, tr("downloadingFail"), name, result)
                                   : formatWide(512, tr("downloadingOk"), name),
                       kDownloadChannel);
}

} // namespace vendrel
