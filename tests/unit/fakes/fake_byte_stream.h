#pragma once
// A scripted connection: what the server sends is handed out piece by piece, as a socket
// would, and everything written is recorded write by write.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/byte_stream.h"

namespace vendrel::testing {

class FakeByteStream final : public ByteStream {
public:
    // Each read returns bytes of one piece only, at most maxRead of them; after the last
    // piece every read returns 0, as when the server has closed.
    std::vector<std::string> incoming;
    std::size_t maxRead = std::numeric_limits<std::size_t>::max();
    // Total bytes accepted before writes start to fail (a peer that went away mid-write).
    std::size_t writeLimit = std::numeric_limits<std::size_t>::max();
    std::vector<std::string> writes;
    std::size_t reads = 0;

    FakeByteStream() = default;
    explicit FakeByteStream(std::vector<std::string> pieces) : incoming(std::move(pieces)) {}

    std::size_t read(std::span<char> buffer) override {
        ++reads;
        while (piece_ < incoming.size() && offset_ == incoming[piece_].size()) {
            ++piece_;
            offset_ = 0;
        }
        if (piece_ == incoming.size() || buffer.empty()) {
            return 0;
        }
        const std::string& piece = incoming[piece_];
        const std::size_t count = std::min({buffer.size(), maxRead, piece.size() - offset_});
        std::memcpy(buffer.data(), piece.data() + offset_, count);
        offset_ += count;
        return count;
    }

    std::size_t write(std::string_view bytes) override {
        const std::size_t count = std::min(bytes.size(), writeLimit - written_);
        written_ += count;
        writes.emplace_back(bytes.substr(0, count));
        return count;
    }

private:
    std::size_t piece_ = 0;
    std::size_t offset_ = 0;
    std::size_t written_ = 0;
};

} // namespace vendrel::testing
