#include "net/downloads.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/files.h"
#include "app/version.h"
#include "fakes/fake_socket_system.h"
#include "fakes/temp_folder.h"
#include "ports/history_sink.h"
#include "text/utf.h"

namespace vendrel {
namespace {

TEST(Downloads, HostileNamesAreRefused) {
    // clang-format off
    const char* const hostile[] = {
        "", "..", "../x.ogg", "..\\x.ogg", "sounds/../../x.ogg", "sounds\\..\\..\\x.ogg",
        "sounds/./x.ogg", ".", "/etc/passwd", "\\Windows\\win.ini", "C:\\Windows\\win.ini",
        "C:x.ogg", "c:/x.ogg", "\\\\server\\share\\x.ogg", "//server/share/x.ogg",
        "\\\\?\\C:\\x.ogg", "\\\\.\\PhysicalDrive0", "x.ogg:stream", "x.ogg::$DATA",
        "CON", "con", "NUL.txt", "sounds/aux.ogg", "PRN", "COM1", "com9.ogg", "LPT1", "lpt3.wav",
        "CONIN$", "CONOUT$", "COM\xC2\xB9", "com\xC2\xB2.ogg", "sounds/LPT\xC2\xB2.ogg",
        "lpt\xC2\xB3/x.ogg", "Lpt\xC2\xB9.tar.gz", "nul .txt", "x.ogg.", "x.ogg ", "sounds./x.ogg",
        "sounds /x.ogg", "sounds//x.ogg", "sounds/", "a\tb.ogg", "a\nb.ogg", "a\177b",
        "a*b.ogg", "a?b.ogg", "a<b.ogg", "a>b.ogg", "a|b.ogg", "a\"b.ogg", "\x01.ogg"};
    // clang-format on
    for (const char* name : hostile) {
        EXPECT_FALSE(isSafeDownloadName(name)) << name;
    }
    for (const char* name :
         {"door.ogg", "sounds/door.ogg", "sounds\\games\\c4\\drop.ogg", "console.ogg", "com10.ogg",
          "nul_effect.wav", "...hidden", "é.ogg", ".config",
          "COM\xC2\xB9"
          "0.ogg",
          "lpt\xC2\xB4.ogg", "com\xC2\xB2x"}) {
        EXPECT_TRUE(isSafeDownloadName(name)) << name;
    }
}

TEST(Downloads, RequestsAndPaths) {
    EXPECT_EQ(parseDownloadRequest("sounds/door.wav 0").name, "sounds/door.wav");
    EXPECT_EQ(parseDownloadRequest("  a.ogg   133000000000000000 ").stamp, 133000000000000000u);
    EXPECT_EQ(parseDownloadRequest("a.ogg").stamp, 0u);
    EXPECT_EQ(parseDownloadRequest("a.ogg x").stamp, 0u);
    EXPECT_EQ(parseDownloadRequest("").name, "");
    EXPECT_EQ(remoteDownloadPath("/autodl/", "sounds\\door.wav"), "/autodl/sounds/door.wav");
    const std::string local =
        localDownloadPath("P" + std::string(1, kPathSeparator), "sounds/a\\b.ogg");
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(local, "P" + sep + "sounds" + sep + "a" + sep + "b.ogg");
    EXPECT_TRUE(isDownloadDue(0, 0));    // missing file
    EXPECT_TRUE(isDownloadDue(10, 10));  // equally old
    EXPECT_TRUE(isDownloadDue(10, 11));  // older
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

TEST(HttpClient, RequestTextAndResponseRules) {
    EXPECT_EQ(httpRequestText("GET", "/autodl/a.ogg", "web"),
              "GET /autodl/a.ogg HTTP/1.0\r\nHost:web\r\nUser-Agent:Vendrel " VENDREL_VERSION_TEXT
              "\r\n\r\n");
    struct Case {
        std::string response;
        int result;
        std::string body;
    };
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\nbody", 0, "body"},
        {"HTTP/1.0 404 Not Found\r\n\r\nmissing", 404, ""},
        {"HTTP/1.0 302 Found\r\nLocation: x\r\n\r\n", 302, ""},
        {"HTTP/1.0 200 OK\r\n\r\n", kHttpNoBody, ""},
        {"HTTP/1.0 200 OK\r\nbody without blank line", kHttpNoBody, ""},
        {"garbage", kHttpNoStatus, ""},
        {"", kHttpNoStatus, ""},
        // Only a well-formed status line counts; a status never reads as one of our results.
        {"HTTP/1.1 OK\r\n\r\n", kHttpNoStatus, ""},
        {"HTTP/1.0 4294967496 X\r\n\r\nerr", kHttpNoStatus, ""},
        {"HTTP/1.0 -2 X\r\n\r\nerr", kHttpNoStatus, ""},
        {"HTTP/1.0 000 X\r\n\r\nerr", kHttpNoStatus, ""},
        {"HTTP/1.0 +200 OK\r\n\r\nerr", kHttpNoStatus, ""},
        {"HTTP/1.0 +20 OK\r\n\r\nerr", kHttpNoStatus, ""},
        {"HTTP/1.0 2000 OK\r\n\r\nerr", kHttpNoStatus, ""},
        {"HTTP/1.0\r\nX: 200 OK\r\n\r\nerr", kHttpNoStatus, ""},
        {"SPAM 200 OK\r\n\r\nerr", kHttpNoStatus, ""},
        {"HTTP/1.0 200\r\n\r\nno reason", 0, "no reason"},
        {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nshort", kHttpTruncated, ""},
        {"HTTP/1.0 200 OK\r\ncontent-length: 5\r\n\r\nexact", 0, "exact"},
    };
    for (const auto& c : cases) {
        HttpResponse response;
        response.bytes = c.response;
        parseHttpResponse(response);
        EXPECT_EQ(response.result, c.result) << c.response;
        if (c.result == 0) {
            EXPECT_EQ(response.body(), c.body);
        }
    }
    EXPECT_EQ(splitHostPort("web:8080").port, 8080);
    EXPECT_EQ(splitHostPort("web:8080").host, "web");
    EXPECT_EQ(splitHostPort("web").port, 80);
    EXPECT_EQ(splitHostPort("web:x").port, 80);
    EXPECT_EQ(splitHostPort("web:99999").port, 80);
}

TEST(HttpClient, WebHostsWithAScheme) {
    using Security = SocketSystem::Security;
    const struct {
        const char* webHost;
        const char* host;
        int port;
        const char* authority;
        Security security;
    } cases[] = {
        {"web:1380", "web", 1380, "web:1380", Security::Plain},
        {"web", "web", 80, "web", Security::Plain},
        {"https://web", "web", 443, "web", Security::Tls},
        {"HTTPS://web:8443/", "web", 8443, "web:8443", Security::Tls},
        {"http://web:81", "web", 81, "web:81", Security::Plain},
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

class RecordingHistory final : public HistorySink {
public:
    std::vector<std::pair<std::u16string, std::int32_t>> lines;
    void historyAdd(const std::u16string& text, std::int32_t channel) override {
        lines.emplace_back(text, channel);
    }
};

TEST(Downloads, FailuresNeverDamageTheOldCopy) {
    testing::TempFolder folder;
    const std::string path = folder.str() + "door.ogg";
    std::ofstream(pathFromUtf8(path), std::ios::binary) << "old";
    struct Case {
        testing::PlannedConnection planned;
        int result;
        std::string content;
    };
    const Case cases[] = {
        {{0, {"HTTP/1.0 404 Not Found\r\n\r\n"}}, 404, "old"},
        {{0, {"HTTP/1.0 200 OK\r\n\r\n"}}, kHttpNoBody, "old"},
        {{0, {"HTTP/1.0 200 OK\r\n\r\nhalf of the"}, -1}, kHttpTruncated, "old"},
        {{0, {"HTTP/1.0 200 OK\r\nContent-Length: 99\r\n\r\nhalf"}}, kHttpTruncated, "old"},
        {{10061, {}}, 10061, "old"},
        {{0, {"HTTP/1.1 OK\r\n\r\n"}}, kHttpNoStatus, "old"},
        {{0, {"HTTP/1.0 4294967496 X\r\n\r\nerr"}}, kHttpNoStatus, "old"},
        {{0, {"HTTP/1.0 200 OK\r\n\r\nnew ", "content"}}, 0, "new content"},
    };
    for (const auto& c : cases) {
        testing::FakeSocketSystem sockets;
        sockets.plan.push_back(c.planned);
        const DownloadJob job{"door.ogg", "web", "/autodl/door.ogg", path};
        EXPECT_EQ(downloadFile(sockets, job), c.result);
        EXPECT_EQ(readWholeFile(path), c.content);
        EXPECT_EQ(sockets.hosts.at(0), "web:80");
    }
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(Downloads, CreatesSubFoldersAndReportsToTheHistory) {
    testing::TempFolder folder;
    testing::FakeSocketSystem sockets;
    sockets.plan.push_back({0, {"HTTP/1.0 200 OK\r\n\r\nRIFF"}});
    sockets.plan.push_back({0, {"HTTP/1.0 404 Not Found\r\n\r\n"}});
    RecordingHistory history;
    const Translate tr = [](std::string_view key) {
        return key == "downloadingStart" ? std::u16string(u"Downloading %s")
               : key == "downloadingOk"  ? std::u16string(u"Done %s")
                                         : std::u16string(u"Failed %s (%d)");
    };
    const DownloadJob job{"sounds/door.wav", "127.0.0.1:1380", "/autodl/sounds/door.wav",
                          localDownloadPath(folder.str(), "sounds/door.wav")};
    doDownload(job, sockets, history, tr);
    doDownload(job, sockets, history, tr);
    EXPECT_EQ(readWholeFile(job.localPath), "RIFF");
    ASSERT_EQ(history.lines.size(), 4u);
    EXPECT_EQ(history.lines[0].first, u"Downloading sounds/door.wav");
    EXPECT_EQ(history.lines[1].first, u"Done sounds/door.wav");
    EXPECT_EQ(history.lines[3].first, u"Failed sounds/door.wav (404)");
    EXPECT_EQ(history.lines[3].second, kDownloadChannel);
    EXPECT_EQ(sockets.hosts.at(0), "127.0.0.1:1380");
    // The Host line names the web host as configured, port included.
    EXPECT_EQ(sockets.written[0].substr(0, sockets.written[0].find("User-Agent")),
              "GET /autodl/sounds/door.wav HTTP/1.0\r\nHost:127.0.0.1:1380\r\n");
}

TEST(HttpClient, OversizedAndSilentResponsesAreRefused) {
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

TEST(Downloads, AFileThatCannotBeWrittenIsAFailure) {
    testing::TempFolder folder;
    // A folder stands where the file should go.
    std::filesystem::create_directories(folder.path() / "taken.ogg" / "inner");
    testing::FakeSocketSystem sockets;
    sockets.plan.push_back({0, {"HTTP/1.0 200 OK\r\n\r\ndata"}});
    const DownloadJob job{"taken.ogg", "web", "/autodl/taken.ogg", folder.str() + "taken.ogg"};
    EXPECT_EQ(downloadFile(sockets, job), kDownloadNotWritten);
}

} // namespace
} // namespace vendrel
