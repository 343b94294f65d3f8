#pragma once
// The server's file announcements (dwnl): fetch a file into the program folder when the local
// copy is missing or not newer. File names come from the server and are untrusted.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/http_client.h"

namespace vendrel {

class HistorySink;

struct DownloadRequest {
    std::string name;
    std::uint64_t stamp = 0; // 100-nanosecond intervals since 1970
};

// A word and a number separated by white space; a missing or unreadable stamp is 0.
[[nodiscard]] DownloadRequest parseDownloadRequest(std::string_view arguments);

// A relative path of plain names under the program folder: no "..", no absolute, drive, UNC
// or device paths, no ':' streams, no control characters, no reserved device names (CON,
// NUL, COM1...) with or without an extension, no trailing dots or blanks in any part.
[[nodiscard]] bool isSafeDownloadName(std::string_view name);

[[nodiscard]] std::string localDownloadPath(const std::string& programFolder,
                                            std::string_view name);
[[nodiscard]] std::string remoteDownloadPath(std::string_view baseDir, std::string_view name);

// The file's last-write time in 100-nanosecond intervals since 1970; 0 when it is missing.
[[nodiscard]] std::uint64_t localFileTime(const std::string& path);

// A missing copy is always fetched, an older or equally old one again.
[[nodiscard]] constexpr bool isDownloadDue(std::uint64_t localTime, std::uint64_t stamp) {
    return localTime <= stamp;
}

struct DownloadJob {
    std::string name;
    std::string webHost; // as configured: "host" or "host:port"
    std::string remotePath;
    std::string localPath;
};

// 0 when the whole file was fetched and moved into place; otherwise the request's result, or
// kDownloadNotWritten when the local file could not be written. The old copy is never damaged:
// the body goes to a temporary file beside it first.
inline constexpr int kDownloadNotWritten = -6;
[[nodiscard]] int downloadFile(SocketSystem& sockets, const DownloadJob& job,
                               const HttpLimits& limits = {});

using Translate = std::function<std::u16string(std::string_view key)>;

// The worker's job: progress and result go to the history on the downloads channel.
void doDownload(const DownloadJob& job, SocketSystem& sockets, HistorySink& history,
                const Translate& tr, const HttpLimits& limits = {});

} // namespace vendrel
