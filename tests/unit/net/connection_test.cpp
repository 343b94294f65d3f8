#include "net/connection.h"

#include <gtest/gtest.h>

#include "app/debug_log.h"
#include "app/files.h"
#include "fakes/fake_socket_system.h"
#include "fakes/temp_folder.h"
#include "net/login_record.h"
#include "net/query_encoding.h"

namespace vendrel {
namespace {

using testing::acceptedHandshake;
using testing::serverText;

struct LoginWorld {
    testing::TempFolder folder;
    DebugLog log;
    testing::FakeSocketSystem sockets;
    Connection connection{sockets, log};
    LoginIdentity identity{"en", 0xABCDEF, 0x10601, 0x40000};

    LoginWorld() { log.open(folder.str() + "debug.txt"); }
    int login() { return connection.login("lounge", 1321, "zoe", "pw", identity); }
    std::string logText() {
        log.close();
        return readWholeFile(folder.str() + "debug.txt").value_or("");
    }
};

TEST(Connection, LoginAnswers) {
    struct Case {
        std::string answer;
        int result;
        std::string lastError;
    };
    const Case cases[] = {
        {"ok", 0, ""},
        {"fail bad password", Connection::kRefused, "bad password"},
        {"fail ", Connection::kRefused, ""},
        {"fail", Connection::kRefused, "Invalid message received: fail"},
        {"okay", Connection::kRefused, "Invalid message received: okay"},
    };
    for (const auto& c : cases) {
        LoginWorld world;
        world.sockets.plan.push_back({0, {acceptedHandshake() + serverText(c.answer)}});
        EXPECT_EQ(world.login(), c.result) << c.answer;
        EXPECT_EQ(world.connection.lastError(), c.lastError) << c.answer;
        EXPECT_EQ(world.connection.loggedIn.load(), c.result == 0) << c.answer;
    }
}

TEST(Connection, SendsTheHandshakeWithTheLoginRecord) {
    LoginWorld world;
    world.sockets.plan.push_back({0, {acceptedHandshake() + serverText("ok")}});
    ASSERT_EQ(world.login(), 0);
    const std::string record = buildLoginRecord({"zoe", "pw", "en", 0xABCDEF, 0x10601, 0x40000});
    const std::string request = world.sockets.written[0];
    EXPECT_NE(request.find(encodeQuery(record)), std::string::npos) << request;
    EXPECT_EQ(request.rfind("GET ", 0), 0u) << request;
    const std::string log = world.logText();
    EXPECT_NE(log.find("Connecting to lounge:1321...\r\nConnection successful\r\n"
                       "Login: zoe, language: en\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Login successful\r\n"), std::string::npos) << log;
}

TEST(Connection, ConnectFailuresAndRefusedHandshakes) {
    struct Case {
        testing::PlannedConnection planned;
        int result;
    };
    const Case cases[] = {
        {{10061, {}}, Connection::kRetry},
        {{10060, {}}, Connection::kRetry},
        {{11001, {}}, 11001},
        {{0, {"HTTP/1.1 404 Not Found\r\n\r\n"}}, Connection::kRetry},
        {{0, {}}, Connection::kRetry},                      // dropped before any answer
        {{0, {acceptedHandshake()}}, Connection::kRefused}, // dropped before the login answer
    };
    for (const auto& c : cases) {
        LoginWorld world;
        world.sockets.plan.push_back(c.planned);
        EXPECT_EQ(world.login(), c.result);
        EXPECT_FALSE(world.connection.loggedIn);
    }
    LoginWorld world;
    world.sockets.plan.push_back({10061, {}});
    (void)world.login();
    EXPECT_NE(world.logText().find("Connection error code: 10061\r\n"), std::string::npos);
}

TEST(Connection, TlsIsAskedOfThePortAndItsFailuresAreFinal) {
    // A refused certificate or a failed negotiation is neither retried nor followed by a
    // plain attempt: the login record must not go out in clear.
    for (const int failure : {kErrorTlsCertificate, kErrorTlsFailed}) {
        LoginWorld world;
        world.sockets.plan.push_back({failure, {}});
        EXPECT_EQ(world.connection.login("lounge", 1321, "zoe", "pw", world.identity,
                                         SocketSystem::Security::Tls),
                  failure);
        EXPECT_EQ(world.sockets.hosts, std::vector<std::string>{"tls:lounge:1321"});
        EXPECT_EQ(world.sockets.written, std::vector<std::string>{""});
    }
    LoginWorld world;
    world.sockets.plan.push_back({0, {acceptedHandshake() + serverText("ok")}});
    EXPECT_EQ(world.connection.login("lounge", 1321, "zoe", "pw", world.identity,
                                     SocketSystem::Security::Tls),
              0);
    EXPECT_EQ(world.sockets.hosts, std::vector<std::string>{"tls:lounge:1321"});
    EXPECT_NE(world.logText().find("Connecting to lounge:1321 (TLS)...\r\n"), std::string::npos);
}

TEST(Connection, CloseEndsTheLogin) {
    LoginWorld world;
    world.sockets.plan.push_back({0, {acceptedHandshake() + serverText("ok")}});
    ASSERT_EQ(world.login(), 0);
    world.connection.close();
    EXPECT_FALSE(world.connection.loggedIn);
    EXPECT_FALSE(world.connection.sendText("late"));
    EXPECT_NE(world.logText().find("Connection closed !\r\n"), std::string::npos);
}

} // namespace
} // namespace vendrel
