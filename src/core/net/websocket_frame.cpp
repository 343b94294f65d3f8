#include "net/websocket_frame.h"

#include <algorithm>
#include <cstring>

namespace vendrel {
namespace {

// Below this the whole payload is reserved at once; above it the string grows with the bytes
// that actually arrive, so a lying length costs nothing until the data is really sent.
constexpr std::uint64_t kEagerReserve = 64 * 1024;

unsigned char byteAt(const std::array<char, 10>& bytes, std::size_t index) {
    return static_cast<unsigned char>(bytes[index]);
}

std::uint64_t bigEndian(const std::array<char, 10>& bytes, std::size_t first, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        value = (value << 8) | byteAt(bytes, i);
    }
    return value;
}

} // namespace

FrameHeader::FrameHeader(std::uint64_t payloadLength) {
    bytes_[0] = static_cast<char>(kFrameText);
    if (payloadLength <= 125) {
        bytes_[1] = static_cast<char>(payloadLength);
        size_ = 2;
    } else if (payloadLength <= 0xFFFF) {
        bytes_[1] = static_cast<char>(126);
        bytes_[2] = static_cast<char>((payloadLength >> 8) & 0xFF);
        bytes_[3] = static_cast<char>(payloadLength & 0xFF);
        size_ = 4;
    } else {
        bytes_[1] = static_cast<char>(127);
        for (std::size_t i = 0; i < 8; ++i) {
            bytes_[2 + i] = static_cast<char>((payloadLength >> (56 - 8 * i)) & 0xFF);
        }
        size_ = 10;
    }
}

std::string encodeTextFrame(std::string_view payload) {
    const FrameHeader header(payload.size());
    std::string frame;
    frame.reserve(header.bytes().size() + payload.size());
    frame.append(header.bytes()).append(payload);
    return frame;
}

FrameDecoder::FrameDecoder(std::size_t maxPayload)
    : maxPayload_(
          static_cast<std::size_t>(std::min<std::uint64_t>(maxPayload, kPayloadLengthLimit - 1))) {}

void FrameDecoder::reset() {
    *this = FrameDecoder(maxPayload_);
}

DecodeStep FrameDecoder::decode(std::string_view input, std::string& message) {
    if (state_ == State::Ended) {
        return {endEvent_, 0};
    }
    std::size_t used = 0;
    if (state_ == State::Header) {
        used = takeHeader(input);
        if (state_ == State::Ended) {
            return {endEvent_, used};
        }
        if (headerSize_ < headerNeeded_) {
            return {FrameEvent::NeedMore, used};
        }
        if (!beginFrame(message)) {
            return {endEvent_, used};
        }
    }
    const auto take =
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, input.size() - used));
    if (opcode_ == kFrameText) {
        message.append(input.data() + used, take);
    } else {
        std::memcpy(reply_.data() + replySize_, input.data() + used, take);
        replySize_ += take;
    }
    used += take;
    remaining_ -= take;
    if (remaining_ > 0) {
        return {FrameEvent::NeedMore, used};
    }
    return endFrame(used);
}

std::size_t FrameDecoder::takeHeader(std::string_view input) {
    std::size_t used = 0;
    while (headerSize_ < headerNeeded_ && used < input.size()) {
        header_[headerSize_++] = input[used++];
        if (headerSize_ != 2) {
            continue;
        }
        // The length form is known from byte 1; a masked server frame is refused before
        // its length (which then means something else) is even looked at.
        const unsigned char second = byteAt(header_, 1);
        if ((second & 0x80) != 0) {
            fail(FrameError::Masked);
            return used;
        }
        headerNeeded_ = second == 126 ? 4 : second == 127 ? 10 : 2;
    }
    return used;
}

bool FrameDecoder::beginFrame(std::string& message) {
    opcode_ = byteAt(header_, 0);
    const unsigned char second = byteAt(header_, 1);
    std::uint64_t length = second;
    if (second == 126) {
        length = bigEndian(header_, 2, 2);
    } else if (second == 127) {
        // All eight bytes count: dropping the high half would turn 2^32 + 5 into 5 and read
        // the rest of that payload as frames.
        length = bigEndian(header_, 2, 8);
    }
    headerSize_ = 0;
    headerNeeded_ = 2;
    if (length >= kPayloadLengthLimit) {
        fail(FrameError::TooLong);
        return false;
    }
    if (opcode_ == kFrameText) {
        if (length > maxPayload_) {
            fail(FrameError::OverMaximum);
            return false;
        }
        message.clear();
        if (length <= kEagerReserve) {
            message.reserve(static_cast<std::size_t>(length));
        }
    } else if (opcode_ == kFramePing || opcode_ == kFrameClose) {
        if (length > kMaxControlPayload) {
            fail(FrameError::ControlTooLong);
            return false;
        }
        reply_[0] = static_cast<char>(opcode_ == kFramePing ? kFramePong : kFrameClose);
        reply_[1] = static_cast<char>(length);
        replySize_ = 2;
    } else {
        fail(FrameError::UnexpectedFrame);
        return false;
    }
    remaining_ = length;
    state_ = State::Payload;
    return true;
}

DecodeStep FrameDecoder::endFrame(std::size_t consumed) {
    state_ = State::Header;
    if (opcode_ == kFrameText) {
        return {FrameEvent::Message, consumed};
    }
    if (opcode_ == kFramePing) {
        return {FrameEvent::Ping, consumed};
    }
    state_ = State::Ended;
    endEvent_ = FrameEvent::Close;
    return {FrameEvent::Close, consumed};
}

void FrameDecoder::fail(FrameError error) {
    state_ = State::Ended;
    endEvent_ = FrameEvent::Failed;
    error_ = error;
    replySize_ = 0;
}

} // namespace vendrel
