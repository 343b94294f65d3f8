// One thread reads a TcpSocket while another closes it, as the connection thread and the GUI
// thread do at exit. Built with ThreadSanitizer, which reports a read and a close of the same
// descriptor that nothing orders. Right after each close the descriptor number is handed out
// again, to a local socket pair with bytes waiting: a reader still holding the old number
// would read them, which fails the run even without the sanitizer.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <semaphore>
#include <span>
#include <string>
#include <thread>

#include "net/tcp_socket.h"
#include "posix_socket_system.h"

namespace {

constexpr int kRounds = 30;

int listenOnLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(fd, 4) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size)) {
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// One round: true when the reader saw exactly the peer's byte and then the end.
bool runRound(vendrel::SocketSystem& sockets, int listener, int port) {
    vendrel::TcpSocket socket(sockets);
    if (socket.connect("127.0.0.1", port) != 0) {
        std::fprintf(stderr, "connect failed\n");
        return false;
    }
    const int peer = ::accept(listener, nullptr, nullptr);
    std::binary_semaphore firstByte(0);
    std::string got;
    std::thread reader([&] {
        std::array<char, 64> buffer{};
        for (;;) {
            const std::size_t count = socket.read(buffer);
            if (count == 0) {
                return;
            }
            const bool isFirst = got.empty();
            got.append(buffer.data(), count);
            if (isFirst) {
                firstByte.release();
            }
        }
    });
    const bool isSent = peer >= 0 && ::send(peer, "x", 1, MSG_NOSIGNAL) == 1;
    if (isSent) {
        firstByte.acquire(); // the reader is now going back into a blocking read
    }
    socket.close();
    int pair[2] = {-1, -1};
    const bool isPaired = ::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0;
    if (isPaired) {
        (void)::send(pair[1], "foreign", 7, MSG_NOSIGNAL);
    }
    reader.join();
    for (const int fd : {pair[0], pair[1], peer}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (got != "x") {
        std::fprintf(stderr, "the reader got \"%s\", not \"x\"\n", got.c_str());
        return false;
    }
    return isSent;
}

} // namespace

int main() {
    vendrel::PosixSocketSystem sockets;
    int port = 0;
    const int listener = listenOnLoopback(port);
    if (listener < 0) {
        std::fprintf(stderr, "no loopback listener\n");
        return 1;
    }
    for (int round = 0; round < kRounds; ++round) {
        if (!runRound(sockets, listener, port)) {
            std::fprintf(stderr, "round %d failed\n", round);
            return 1;
        }
    }
    ::close(listener);
    std::printf("%d rounds of closing while reading\n", kRounds);
    return 0;
}
