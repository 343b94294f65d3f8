#include "net/websocket_stream.h"

#include "net/handshake.h"

namespace vendrel {
namespace {

// One read takes what the socket has, up to this much; big messages arrive in several.
constexpr std::size_t kReadBufferSize = 64 * 1024;

} // namespace

WebSocketStream::WebSocketStream(ByteStream& stream, std::size_t maxPayload)
    : stream_(stream), decoder_(maxPayload), buffer_(kReadBufferSize) {}

void WebSocketStream::reset() {
    decoder_.reset();
    begin_ = 0;
    end_ = 0;
}

bool WebSocketStream::fill() {
    begin_ = 0;
    end_ = stream_.read(buffer_);
    return end_ > 0;
}

LineRead WebSocketStream::readLine(std::string& line) {
    line.clear();
    for (;;) {
        if (begin_ == end_ && !fill()) {
            return LineRead::Lost;
        }
        const LineStep step = takeLineBytes(buffered(), line);
        begin_ += step.consumed;
        if (step.progress == LineProgress::Complete) {
            return LineRead::Line;
        }
        if (step.progress == LineProgress::TooLong) {
            return LineRead::TooLong;
        }
    }
}

bool WebSocketStream::receiveMessage(std::string& message) {
    if (decoder_.hasEnded()) {
        message.clear();
        return false;
    }
    for (;;) {
        if (begin_ == end_ && !fill()) {
            message.clear();
            return false;
        }
        const DecodeStep step = decoder_.decode(buffered(), message);
        begin_ += step.consumed;
        switch (step.event) {
        case FrameEvent::NeedMore:
            break;
        case FrameEvent::Message:
            return true;
        case FrameEvent::Ping:
            // A failed pong closes the socket underneath us; the next read then ends it.
            (void)stream_.write(decoder_.reply());
            break;
        case FrameEvent::Close:
            (void)stream_.write(decoder_.reply());
            message.clear();
            return false;
        case FrameEvent::Failed:
            message.clear();
            return false;
        }
    }
}

std::size_t WebSocketStream::sendText(std::string_view text) {
    const std::string frame = encodeTextFrame(text);
    const std::size_t headerSize = frame.size() - text.size();
    const std::size_t written = stream_.write(frame);
    return written > headerSize ? written - headerSize : 0;
}

} // namespace vendrel
