#pragma once
// A scripted connection: what the server sends is handed out piece by piece, as a socket
// would, and everything written is recorded write by write.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "net/byte_stream.h"

namespace vendrel::testing {

class FakeByteStream final : public ByteStream {
public:
    // Each read returns bytes of one piece only, at most maxRead of them; after the last
    // piece every read returns 0, as when the server has closed.
    std::deque<std::string> incoming;
    std::size_t maxRead = SIZE_MAX;
    // Total bytes accepted before writes start to fail (a peer that went away mid-write).
    std::size_t writeLimit = SIZE_MAX;
    std::vector<std::string> writes;

    FakeByteStream() = default;
    explicit FakeByteStream(const std::vector<std::string>& pieces)
        : incoming(pieces.begin(), pieces.end()) {}

    std::size_t read(std::span<char> buffer) override {
        while (!incoming.empty() && incoming.front().empty()) {
            incoming.pop_front();
        }
        if (incoming.empty()) {
            return 0;
        }
        const std::size_t count = std::min({buffer.size(), maxRead, incoming.front().size()});
        std::memcpy(buffer.data(), incoming.front().data(), count);
        incoming.front().erase(0, count);
        return count;
    }

    std::size_t write(std::string_view bytes) override {
        const std::size_t count = std::min(bytes.size(), writeLimit - written_);
        written_ += count;
        writes.emplace_back(bytes.substr(0, count));
        return count;
    }

private:
    std::size_t written_ = 0;
};

} // namespace vendrel::testing
