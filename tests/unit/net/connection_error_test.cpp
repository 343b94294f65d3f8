#include "net/connection_error.h"

#include <gtest/gtest.h>

#include "net/connection.h"

namespace vendrel {
namespace {

TEST(ConnectionError, WhatThePlayerIsTold) {
    const auto tr = [](std::string_view key) {
        if (key == "tlscertificateerror") {
            return std::u16string(u"Not the real server.");
        }
        if (key == "tlserror") {
            return std::u16string(u"No encryption.");
        }
        return key == "connecterror" ? std::u16string(u"Cannot reach the lounge.")
                                     : std::u16string(u"Connection failed.");
    };
    struct Case {
        int result;
        std::string lastError;
        std::u16string expected;
    };
    const Case cases[] = {
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
    for (const auto& c : cases) {
        EXPECT_EQ(connectionErrorText(c.result, c.lastError, u"Host not found.", tr), c.expected)
            << c.result;
    }
}

} // namespace
} // namespace vendrel
