// Any bytes from a web server as the answer to a download, arriving in pieces of any size, and
// any file name a server announces. The response must end in one of the documented results,
// a success must carry exactly the body after the head (its announced length when there is
// one), and the local copy must be the new body after a success and the old file after
// anything else. A name the checks let through must stay inside the program folder.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>

#include "app/files.h"
#include "fakes/fake_socket_system.h"
#include "fuzz_failure.h"
#include "net/downloads.h"
#include "net/http_client.h"
#include "run_folder.h"

using vendrel::fuzzing::fail;

namespace {

const std::string& programFolder() {
    return vendrel::fuzzing::runFolder("http");
}

void checkName(const std::string& arguments) {
    const vendrel::DownloadRequest request = vendrel::parseDownloadRequest(arguments);
    if (request.name.find_first_of(" \t\n\r\f\v") != std::string::npos ||
        arguments.find(request.name) == std::string::npos) {
        fail("the name is not the first word of the arguments");
    }
    if (!vendrel::isSafeDownloadName(request.name)) {
        return;
    }
    // The folder without its trailing separator, whose empty last part no path would match.
    const std::filesystem::path folder =
        vendrel::pathFromUtf8(programFolder()).parent_path().lexically_normal();
    const std::filesystem::path local =
        vendrel::pathFromUtf8(vendrel::localDownloadPath(programFolder(), request.name))
            .lexically_normal();
    const auto [end, unused] =
        std::mismatch(folder.begin(), folder.end(), local.begin(), local.end());
    (void)unused;
    if (end != folder.end() || local == folder || request.name.find(':') != std::string::npos) {
        fail("a name let through leaves the program folder");
    }
    const std::string remote = vendrel::remoteDownloadPath("/autodl/", request.name);
    if (!remote.starts_with("/autodl/") || remote.find('\\') != std::string::npos) {
        fail("the remote path leaves the download folder");
    }
}

bool isDocumentedResult(int result) {
    return result == 0 || result == vendrel::kHttpNoStatus || result == vendrel::kHttpNoBody ||
           result == vendrel::kHttpTimedOut || result == vendrel::kHttpTooLarge ||
           result == vendrel::kHttpTruncated || (result >= 100 && result <= 999 && result != 200);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    checkName(input.ConsumeRandomLengthString(256));

    vendrel::testing::PlannedConnection connection;
    const std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(1, 600);
    const long endings[] = {0, -1, -2}; // closed, reset, silent past the time-out
    connection.readError = input.PickValueInArray(endings);
    vendrel::HttpLimits limits;
    limits.maxResponseBytes = input.ConsumeIntegralInRange<std::size_t>(0, 4096);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        connection.incoming.push_back(bytes.substr(at, piece));
    }
    vendrel::testing::FakeSocketSystem sockets;
    sockets.plan.push_back(connection);

    const std::string local = programFolder() + "file.ogg";
    vendrel::fuzzing::writeFile(local, "old");
    const vendrel::DownloadJob job{"file.ogg", "web.example:8080", "/autodl/file.ogg", local};
    const int result = vendrel::downloadFile(sockets, job, limits);
    const std::string written = vendrel::readWholeFile(local).value_or("<missing>");
    if (!isDocumentedResult(result)) {
        fail("an undocumented result");
    }
    const std::size_t head = bytes.find("\r\n\r\n");
    if (result == 0) {
        const std::string_view body = std::string_view(bytes).substr(head + 4);
        const auto announced = vendrel::httpContentLength(std::string_view(bytes).substr(0, head));
        if (connection.readError != 0 || bytes.size() > limits.maxResponseBytes ||
            !bytes.starts_with("HTTP/") || head == std::string::npos || body.empty() ||
            (announced && *announced != body.size()) || written != body) {
            fail("a success without exactly the body");
        }
    } else if (written != "old") {
        fail("a failed download changed the old copy");
    }
    return 0;
}
