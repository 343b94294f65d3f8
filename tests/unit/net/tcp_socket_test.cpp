#include "net/tcp_socket.h"

#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_socket_system.h"

namespace vendrel {
namespace {

using testing::FakeSocketSystem;

TEST(TcpSocket, SendReceiveAndReadErrorsToldApartFromAnOrderlyClose) {
    FakeSocketSystem system;
    system.plan.push_back({0, {"abc", "defg"}, -1});
    system.plan.push_back({0, {"ab"}, 0});
    TcpSocket socket(system);
    EXPECT_EQ(socket.send("x"), -1); // no socket yet
    char buffer[8] = {};
    ASSERT_EQ(socket.connect("example", 70000), 0);
    EXPECT_EQ(system.hosts.back(), "example:4464"); // only the low 16 bits of the port
    EXPECT_EQ(socket.send("hello"), 5);
    EXPECT_EQ(system.written[0], "hello");
    EXPECT_EQ(socket.receiveExact(buffer, 5), 5); // across two pieces
    EXPECT_EQ(std::string(buffer, 5), "abcde");
    EXPECT_EQ(socket.receiveExact(buffer, 5), 0); // the read failed after two more bytes
    EXPECT_TRUE(socket.hasReadFailed());
    ASSERT_EQ(socket.connect("h", 1), 0); // the earlier socket is closed first
    EXPECT_EQ(system.closed.size(), 1u);
    EXPECT_EQ(socket.read(buffer), 2u);
    EXPECT_EQ(socket.read(buffer), 0u);
    EXPECT_FALSE(socket.hasReadFailed());
}

TEST(TcpSocket, AWriteErrorClosesAndReportsWhatWentOut) {
    FakeSocketSystem system;
    testing::PlannedConnection planned;
    planned.failWritesAfter = 3;
    system.plan.push_back(planned);
    TcpSocket socket(system);
    ASSERT_EQ(socket.connect("h", 1), 0);
    EXPECT_EQ(socket.send("abcdef"), 3);
    EXPECT_FALSE(socket.isOpen());
    EXPECT_EQ(socket.send("more"), -1);
    socket.close(); // a second close does nothing
    EXPECT_EQ(system.closed.size(), 1u);
}

TEST(TcpSocket, ACloseDuringAReadWakesItAndTheReadFreesTheHandle) {
    FakeSocketSystem system;
    system.plan.push_back({0, {"ab"}});
    TcpSocket socket(system);
    ASSERT_EQ(socket.connect("h", 1), 0);
    std::size_t closedWhileReading = 99;
    system.duringRead = [&] {
        socket.close(); // the GUI thread at exit
        closedWhileReading = system.closed.size();
    };
    char buffer[4];
    EXPECT_EQ(socket.read(buffer), 0u); // woken by the shutdown
    // The descriptor stayed allocated until the read was done with it, so its number could
    // not be handed to another file under the read.
    EXPECT_EQ(closedWhileReading, 0u);
    EXPECT_EQ(system.shutDown, std::vector<SocketSystem::Handle>{100});
    EXPECT_EQ(system.closed, std::vector<SocketSystem::Handle>{100});
    EXPECT_FALSE(socket.isOpen());
}

} // namespace
} // namespace vendrel
