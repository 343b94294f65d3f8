#include "net/connection.h"

#include <gtest/gtest.h>

#include <tuple>

#include "app/debug_log.h"
#include "app/files.h"
#include "fakes/fake_socket_system.h"
#include "fakes/temp_folder.h"
#include "net/connection_error.h"
#include "net/frame_bytes.h"
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
    int login(SocketSystem::Security security = SocketSystem::Security::Plain) {
        return connection.login("lounge", 1321, "zoe", "pw", identity, security);
    }
    std::string logText() {
        log.close();
        return readWholeFile(folder.str() + "debug.txt").value_or("");
    }
};

TEST(Connection, LoginResults) {
    struct Case {
        testing::PlannedConnection planned;
        int result;
        std::string lastError;
    };
    const Case cases[] = {
        {{0, {acceptedHandshake() + serverText("ok")}}, 0, ""},
        {{0, {acceptedHandshake() + serverText("fail bad password")}},
         Connection::kRefused,
         "bad password"},
        {{0, {acceptedHandshake() + serverText("fail")}},
         Connection::kRefused,
         "Invalid message received: fail"},
        {{0, {acceptedHandshake()}}, Connection::kRefused, "Invalid message received: "},
        {{0, {"HTTP/1.1 404 Not Found\r\n\r\n"}}, Connection::kRetry, ""},
        {{10061, {}}, Connection::kRetry, ""},
        {{10060, {}}, Connection::kRetry, ""},
        {{11001, {}}, 11001, ""},
    };
    for (const auto& c : cases) {
        LoginWorld world;
        world.sockets.plan.push_back(c.planned);
        EXPECT_EQ(world.login(), c.result) << c.lastError;
        EXPECT_EQ(world.connection.lastError(), c.lastError);
        EXPECT_EQ(world.connection.loggedIn.load(), c.result == 0) << c.lastError;
    }
}

TEST(Connection, SendsTheLoginRecordAndLogsTheSteps) {
    LoginWorld world;
    world.sockets.plan.push_back({0, {acceptedHandshake() + serverText("ok")}});
    world.sockets.plan.push_back({10061, {}});
    ASSERT_EQ(world.login(), 0);
    (void)world.login();
    const std::string record = buildLoginRecord({"zoe", "pw", "en", 0xABCDEF, 0x10601, 0x40000});
    EXPECT_TRUE(world.sockets.written[0].starts_with("GET /play?" + encodeQuery(record) + " "));
    const std::string log = world.logText();
    EXPECT_NE(log.find("Connecting to lounge:1321...\r\nConnection successful\r\n"
                       "Login: zoe, language: en\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Login successful\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Connection error code: 10061\r\n"), std::string::npos) << log;
}

TEST(Connection, TlsIsAskedOfThePortAndItsFailuresAreFinal) {
    // A refused certificate or a failed negotiation is neither retried nor followed by a
    // plain attempt: the login record must not go out in clear.
    for (const int failure : {kErrorTlsCertificate, kErrorTlsFailed}) {
        LoginWorld world;
        world.sockets.plan.push_back({failure, {}});
        EXPECT_EQ(world.login(SocketSystem::Security::Tls), failure);
        EXPECT_EQ(world.sockets.hosts, std::vector<std::string>{"tls:lounge:1321"});
        EXPECT_EQ(world.sockets.written, std::vector<std::string>{""});
        EXPECT_NE(world.logText().find("Connecting to lounge:1321 (TLS)...\r\n"),
                  std::string::npos);
    }
}

TEST(Connection, CloseEndsTheLoginAndTheNextLoginStartsAfresh) {
    LoginWorld world;
    // The first connection ends with the server's close frame.
    world.sockets.plan.push_back(
        {0, {acceptedHandshake() + serverText("ok") + testing::bytes({0x88, 0})}});
    world.sockets.plan.push_back({0, {acceptedHandshake() + serverText("ok")}});
    ASSERT_EQ(world.login(), 0);
    std::string message;
    EXPECT_FALSE(world.connection.receiveMessage(message));
    world.connection.close();
    EXPECT_FALSE(world.connection.loggedIn);
    EXPECT_FALSE(world.connection.sendText("late"));
    EXPECT_EQ(world.login(), 0);
    EXPECT_NE(world.logText().find("Connection closed !\r\n"), std::string::npos);
}

TEST(ConnectionError, WhatThePlayerIsTold) {
    const auto tr = [](std::string_view key) -> std::u16string {
        return key == "connecterror"          ? u"Cannot reach the lounge."
               : key == "tlscertificateerror" ? u"Not the real server."
               : key == "tlserror"            ? u"No encryption."
                                              : u"Connection failed.";
    };
    const std::tuple<int, std::string, std::u16string> cases[] = {
        {Connection::kRefused, "Wrong password.", u"Wrong password."},
        {Connection::kRetry, "", u"Cannot reach the lounge."},
        {11001, "", u"Connection failed.\r\nHost not found.\r\nCode d'erreur: 11001"},
        // A refusal without a reason must not leave the player with silence before the exit.
        {Connection::kRefused, "", u"Cannot reach the lounge."},
        {Connection::kRefused, "caf\xC3\xA9", u"café"},
        // Our own TLS results have no system text: each has its own message.
        {kErrorTlsCertificate, "", u"Not the real server."},
        {kErrorTlsFailed, "", u"No encryption."},
    };
    for (const auto& [result, lastError, expected] : cases) {
        EXPECT_EQ(connectionErrorText(result, lastError, u"Host not found.", tr), expected)
            << result;
    }
}

} // namespace
} // namespace vendrel
