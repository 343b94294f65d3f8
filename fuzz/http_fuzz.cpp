// Any download name a server announces, and any web server's answer in pieces: let-through
// names stay in the program folder; a success is exactly the body, a failure keeps the old file.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/files.h"
#include "fakes/fake_socket_system.h"
#include "fuzz_failure.h"
#include "net/downloads.h"
#include "net/http_client.h"
#include "run_folder.h"

using namespace vendrel;
using vendrel::fuzzing::fail;

namespace {

void checkName(const std::string& arguments, const std::string& programFolder) {
    const DownloadRequest request = parseDownloadRequest(arguments);
    if (request.name.find_first_of(" \t\n\r\f\v") != std::string::npos ||
        arguments.find(request.name) == std::string::npos) {
        fail("the name is not the first word of the arguments", arguments);
    }
    if (!isSafeDownloadName(request.name)) {
        return;
    }
    // The folder without its trailing separator, whose empty last part no path would match.
    const auto folder = pathFromUtf8(programFolder).parent_path().lexically_normal();
    const auto local =
        pathFromUtf8(localDownloadPath(programFolder, request.name)).lexically_normal();
    const std::string remote = remoteDownloadPath("/autodl/", request.name);
    if (std::mismatch(folder.begin(), folder.end(), local.begin(), local.end()).first !=
            folder.end() ||
        local == folder || request.name.find(':') != std::string::npos ||
        !remote.starts_with("/autodl/") || remote.find('\\') != std::string::npos) {
        fail("a name let through leaves the program or the download folder", arguments);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = fuzzing::runFolder("http");
    FuzzedDataProvider input(data, size);
    checkName(input.ConsumeRandomLengthString(256), folder);

    testing::PlannedConnection connection;
    const std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(1, 600);
    const long endings[] = {0, -1, -2}; // closed, reset, silent past the time-out
    connection.readError = input.PickValueInArray(endings);
    HttpLimits limits;
    limits.maxResponseBytes = input.ConsumeIntegralInRange<std::size_t>(0, 4096);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        connection.incoming.push_back(bytes.substr(at, piece));
    }
    testing::FakeSocketSystem sockets;
    sockets.plan.push_back(connection);

    const std::string local = folder + "file.ogg";
    fuzzing::writeFile(local, "old");
    const int result =
        downloadFile(sockets, {"file.ogg", "web.example:8080", "/autodl/file.ogg", local}, limits);
    const std::string written = readWholeFile(local).value_or("<missing>");
    const std::size_t head = bytes.find("\r\n\r\n");
    const bool isDocumented = result == 0 || result == kHttpNoStatus || result == kHttpNoBody ||
                              result == kHttpTimedOut || result == kHttpTooLarge ||
                              result == kHttpTruncated ||
                              (result >= 100 && result <= 999 && result != 200);
    if (!isDocumented || (result != 0 && written != "old")) {
        fail("an undocumented result, or a failure changed the old copy");
    }
    if (result == 0) {
        const std::string_view body = std::string_view(bytes).substr(head + 4);
        const auto announced = httpContentLength(std::string_view(bytes).substr(0, head));
        if (connection.readError != 0 || bytes.size() > limits.maxResponseBytes ||
            !bytes.starts_with("HTTP/") || head == std::string::npos || body.empty() ||
            (announced && *announced != body.size()) || written != body) {
            fail("a success without exactly the body");
        }
    }
    return 0;
}
