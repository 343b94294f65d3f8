#include "net/tcp_socket.h"

namespace vendrel {

TcpSocket::~TcpSocket() {
    close();
}

int TcpSocket::connect(const std::string& host, int port, SocketSystem::Security security) {
    close();
    SocketSystem::Handle handle = SocketSystem::kNoSocket;
    const int result = system_.connect(host, port & 0xFFFF, security, handle);
    handle_ = handle;
    return result;
}

int TcpSocket::send(std::string_view bytes) {
    if (handle_.load() == SocketSystem::kNoSocket) {
        return -1;
    }
    std::lock_guard guard(lock_);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const SocketSystem::Handle handle = handle_.load();
        if (handle == SocketSystem::kNoSocket) {
            break;
        }
        const long written = system_.write(handle, bytes.data() + sent, bytes.size() - sent);
        if (written < 0) {
            close();
            break;
        }
        if (written == 0) {
            break;
        }
        sent += static_cast<std::size_t>(written);
    }
    return static_cast<int>(sent);
}

int TcpSocket::receiveExact(char* buffer, int count) {
    if (handle_.load() == SocketSystem::kNoSocket || count < 1) {
        return -1;
    }
    int got = 0;
    while (got < count) {
        const std::size_t piece =
            read(std::span<char>(buffer + got, static_cast<std::size_t>(count - got)));
        if (piece == 0) {
            return 0;
        }
        got += static_cast<int>(piece);
    }
    return count;
}

void TcpSocket::close() {
    std::lock_guard guard(lock_);
    std::lock_guard readersGuard(readersLock_);
    const SocketSystem::Handle handle = handle_.exchange(SocketSystem::kNoSocket);
    if (handle == SocketSystem::kNoSocket) {
        return;
    }
    if (readers_ == 0) {
        system_.close(handle);
        return;
    }
    // A read is waiting on this descriptor: freeing it now would let its number be handed to
    // another file while the read still uses it. Wake the read; it frees the handle.
    system_.shutdown(handle);
    closedUnderRead_ = handle;
}

std::size_t TcpSocket::read(std::span<char> buffer) {
    SocketSystem::Handle handle = SocketSystem::kNoSocket;
    {
        std::lock_guard guard(readersLock_);
        handle = handle_.load();
        if (handle == SocketSystem::kNoSocket || buffer.empty()) {
            return 0;
        }
        ++readers_;
    }
    const long got = system_.read(handle, buffer.data(), buffer.size(), readTimeoutMs_);
    endRead();
    hasTimedOut_ = got == -2;
    hasReadFailed_ = got < 0;
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void TcpSocket::endRead() {
    std::lock_guard guard(readersLock_);
    if (--readers_ == 0 && closedUnderRead_ != SocketSystem::kNoSocket) {
        system_.close(closedUnderRead_);
        closedUnderRead_ = SocketSystem::kNoSocket;
    }
}

std::size_t TcpSocket::write(std::string_view bytes) {
    const int sent = send(bytes);
    return sent > 0 ? static_cast<std::size_t>(sent) : 0;
}

} // namespace vendrel
