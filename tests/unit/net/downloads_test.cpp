#include "net/downloads.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "app/files.h"
#include "app/version.h"
#include "fakes/fake_client_ports.h"
#include "fakes/fake_socket_system.h"
#include "fakes/temp_folder.h"
#include "text/utf.h"

namespace vendrel {
namespace {

TEST(Downloads, HostileNamesAreRefused) {
    // clang-format off
    const char* const hostile[] = {
        "", "../x.ogg", "sounds\\..\\x.ogg", "./x.ogg", "/etc/passwd", "\\\\server\\x.ogg",
        "C:x.ogg", "con", "nul .txt", "sounds/aux.ogg", "lpt3.wav", "CONOUT$", "com\xC2\xB2.ogg",
        "x.ogg.", "sounds /x.ogg", "sounds//x.ogg", "sounds/", "a\tb", "a\177b", "a*b", "a?b",
        "a<b", "a>b", "a|b", "a\"b"};
    // clang-format on
    for (const char* name : hostile) {
        EXPECT_FALSE(isSafeDownloadName(name)) << name;
    }
    for (const char* name :
         {"sounds\\games\\c4\\drop.ogg", "console.ogg", "com10.ogg", "...hidden", "\xC3\xA9.ogg",
          "COM\xC2\xB9"
          "0.ogg",
          "lpt\xC2\xB4"}) {
        EXPECT_TRUE(isSafeDownloadName(name)) << name;
    }
}

TEST(Downloads, RequestsAndPaths) {
    const std::tuple<const char*, const char*, std::uint64_t> requests[] = {
        {"  a.ogg   133000000000000000 ", "a.ogg", 133000000000000000u},
        {"sounds/door.wav x", "sounds/door.wav", 0},
        {"a.ogg -5", "a.ogg", 0},
        {"a.ogg 99999999999999999999", "a.ogg", UINT64_MAX},
    };
    for (const auto& [arguments, name, stamp] : requests) {
        EXPECT_EQ(parseDownloadRequest(arguments).name, name) << arguments;
        EXPECT_EQ(parseDownloadRequest(arguments).stamp, stamp) << arguments;
    }
    EXPECT_EQ(remoteDownloadPath("/autodl/", "sounds\\door.wav"), "/autodl/sounds/door.wav");
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(localDownloadPath("P" + sep, "sounds/a\\b.ogg"),
              "P" + sep + "sounds" + sep + "a" + sep + "b.ogg");
    EXPECT_TRUE(isDownloadDue(0, 0));    // missing file
    EXPECT_FALSE(isDownloadDue(11, 10)); // newer
    EXPECT_FALSE(isDownloadDue(5, 0));   // stamp 0: an existing file stays
}

TEST(Downloads, LocalFileTime) {
    testing::TempFolder folder;
    EXPECT_EQ(localFileTime(folder.str() + "missing.ogg"), 0u);
    std::ofstream(folder.path() / "present.ogg") << "x";
    const std::uint64_t time = localFileTime(folder.str() + "present.ogg");
    // Some time after 2020 and before 2100, in 100 ns units since 1970.
    EXPECT_GT(time, 15778368000000000u);
    EXPECT_LT(time, 41024448000000000u);
}

TEST(HttpClient, WebHostsWithASchemeAndTheRequestText) {
    EXPECT_EQ(httpRequestText("GET", "/autodl/a.ogg", "web"),
              "GET /autodl/a.ogg HTTP/1.0\r\nHost:web\r\nUser-Agent:Vendrel " VENDREL_VERSION_TEXT
              "\r\n\r\n");
    using Security = SocketSystem::Security;
    const struct {
        const char* webHost;
        const char* host;
        int port;
        const char* authority;
        Security security;
    } cases[] = {
        {"web:99999", "web", 80, "web:99999", Security::Plain},
        {"https://web", "web", 443, "web", Security::Tls},
        {"HTTPS://web:8443/", "web", 8443, "web:8443", Security::Tls},
        {"http://web", "web", 80, "web", Security::Plain},
    };
    for (const auto& c : cases) {
        const WebHost parsed = parseWebHost(c.webHost);
        EXPECT_EQ(parsed.host, c.host) << c.webHost;
        EXPECT_EQ(parsed.port, c.port) << c.webHost;
        EXPECT_EQ(parsed.authority, c.authority) << c.webHost;
        EXPECT_EQ(parsed.security, c.security) << c.webHost;
    }
    // The download goes through TLS, and the Host line names the site without the scheme.
    testing::FakeSocketSystem sockets;
    sockets.plan.push_back({0, {"HTTP/1.0 200 OK\r\n\r\nbody"}});
    EXPECT_EQ(httpRequest(sockets, "https://web:8443", "/autodl/a", "GET").result, 0);
    EXPECT_EQ(sockets.hosts, std::vector<std::string>{"tls:web:8443"});
    EXPECT_NE(sockets.written.at(0).find("\r\nHost:web:8443\r\n"), std::string::npos);
}

TEST(HttpClient, OversizedSilentAndHeaderSmugglingRequestsAreRefused) {
    testing::FakeSocketSystem sockets;
    sockets.plan.push_back({0, {"HTTP/1.0 200 OK\r\n\r\n", std::string(100, 'x')}});
    HttpLimits limits;
    limits.maxResponseBytes = 64;
    EXPECT_EQ(httpRequest(sockets, "web", "/a", "GET", limits).result, kHttpTooLarge);
    sockets.plan.push_back({0, {"HTTP/1.0 200 OK\r\n\r\npart"}, -2}); // then silence
    EXPECT_EQ(httpRequest(sockets, "web", "/a", "GET").result, kHttpTimedOut);
    // A web host or path with a line break (config.ini, the server) never reaches the wire.
    EXPECT_EQ(httpRequest(sockets, "web\r\nX-Evil: 1", "/a", "GET").result, kHttpNoStatus);
    EXPECT_EQ(httpRequest(sockets, "web", "/a\nX-Evil: 1", "GET").result, kHttpNoStatus);
    EXPECT_EQ(sockets.written.size(), 2u);
}

TEST(Downloads, OnlyAWholeAnswerOfStatus200ReplacesTheOldCopyAndTheHistorySaysWhich) {
    testing::TempFolder folder;
    // In a sub-folder, made by the first download.
    const DownloadJob job{"sounds/door.ogg", "web", "/autodl/sounds/door.ogg",
                          localDownloadPath(folder.str(), "sounds/door.ogg")};
    const Translate tr = [](std::string_view key) {
        return key == "downloadingStart" ? std::u16string(u"Downloading %s")
               : key == "downloadingOk"  ? std::u16string(u"Done %s")
                                         : std::u16string(u"Failed %s (%d)");
    };
    const std::pair<testing::PlannedConnection, int> cases[] = {
        {{0, {"HTTP/1.0 200 OK\r\n\r\nbo", "dy"}}, 0},
        {{0, {"HTTP/1.0 200\r\n\r\nbody"}}, 0},
        {{0, {"HTTP/1.0 200 OK\r\ncontent-length: 4\r\n\r\nbody"}}, 0},
        {{0, {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nbody"}}, kHttpTruncated},
        {{0, {"HTTP/1.0 200 OK\r\n\r\nbody"}, -1}, kHttpTruncated}, // reset before the end
        {{0, {"HTTP/1.0 404 Not Found\r\n\r\nbody"}}, 404},
        {{0, {"HTTP/1.0 200 OK\r\n\r\n"}}, kHttpNoBody},
        {{10061, {}}, 10061},
        // Only a well-formed status line counts; a status never reads as one of our results.
        {{0, {"HTTP/1.1 OK\r\n\r\nbody"}}, kHttpNoStatus},
        {{0, {"HTTP/1.0 000 X\r\n\r\nbody"}}, kHttpNoStatus},
        {{0, {"HTTP/1.0 +20 OK\r\n\r\nbody"}}, kHttpNoStatus},
        {{0, {"HTTP/1.0 2000 OK\r\n\r\nbody"}}, kHttpNoStatus},
        {{0, {"HTTP/1.0\r\nX: 200 OK\r\n\r\nbody"}}, kHttpNoStatus},
        {{0, {"SPAM 200 OK\r\n\r\nbody"}}, kHttpNoStatus},
    };
    for (const auto& [planned, result] : cases) {
        testing::FakeSocketSystem sockets;
        sockets.plan.push_back(planned);
        testing::RecordingHistory history;
        doDownload(job, sockets, history, tr);
        const std::u16string outcome =
            result == 0 ? u"Done sounds/door.ogg"
                        : u"Failed sounds/door.ogg (" + toWide(std::to_string(result)) + u")";
        const std::vector<std::pair<std::u16string, std::int32_t>> expected = {
            {u"Downloading sounds/door.ogg", kDownloadChannel}, {outcome, kDownloadChannel}};
        const auto answer = ::testing::PrintToString(planned.incoming);
        EXPECT_EQ(history.lines(), expected) << answer;
        EXPECT_EQ(readWholeFile(job.localPath), result == 0 ? "body" : "old") << answer;
        std::ofstream(pathFromUtf8(job.localPath), std::ios::binary) << "old";
    }
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path() / "sounds"), {}), 1);
    // A folder where the file should go: the download fails instead of claiming success.
    std::filesystem::create_directories(folder.path() / "taken.ogg" / "inner");
    testing::FakeSocketSystem sockets;
    sockets.plan.push_back({0, {"HTTP/1.0 200 OK\r\n\r\ndata"}});
    const DownloadJob blocked{"taken.ogg", "web", "/autodl/taken.ogg", folder.str() + "taken.ogg"};
    EXPECT_EQ(downloadFile(sockets, blocked), kDownloadNotWritten);
}

} // namespace
} // namespace vendrel
