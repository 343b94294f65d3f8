// One thread reads a TcpSocket while another closes it, as the connection thread and the GUI
// thread do at exit. ThreadSanitizer reports a read and a close of one descriptor that nothing
// orders. Right after each close the descriptor number is handed out again, to a socket pair
// with bytes waiting: a reader still holding the old number would read them, which fails the
// run even without the sanitizer.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <semaphore>
#include <string>
#include <thread>

#include "net/tcp_socket.h"
#include "posix_socket_system.h"

int main() {
    vendrel::PosixSocketSystem sockets;
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener, 4) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::fprintf(stderr, "no loopback listener\n");
        return 1;
    }
    for (int round = 0; round < 30; ++round) {
        vendrel::TcpSocket socket(sockets);
        const int connected = socket.connect("127.0.0.1", ntohs(address.sin_port));
        const int peer = ::accept(listener, nullptr, nullptr);
        if (connected != 0 || peer < 0 || ::send(peer, "x", 1, MSG_NOSIGNAL) != 1) {
            std::fprintf(stderr, "round %d: no connection\n", round);
            return 1;
        }
        std::binary_semaphore firstByte(0);
        std::string got;
        std::thread reader([&] {
            std::array<char, 64> buffer{};
            for (std::size_t count; (count = socket.read(buffer)) != 0;) {
                const bool isFirst = got.empty();
                got.append(buffer.data(), count);
                if (isFirst) {
                    firstByte.release();
                }
            }
        });
        firstByte.acquire(); // the reader is now going back into a blocking read
        socket.close();
        int pair[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0) {
            (void)::send(pair[1], "foreign", 7, MSG_NOSIGNAL);
        }
        reader.join();
        for (const int fd : {pair[0], pair[1], peer}) {
            ::close(fd);
        }
        if (got != "x") {
            std::fprintf(stderr, "round %d: the reader got \"%s\", not \"x\"\n", round,
                         got.c_str());
            return 1;
        }
    }
    std::printf("30 rounds of closing while reading\n");
    return 0;
}
