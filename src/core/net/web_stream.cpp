#include "net/web_stream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "net/http_client.h"
#include "text/numbers.h"

namespace vendrel {
namespace {

constexpr std::size_t kReceiveBlock = 16384;

[[nodiscard]] int statusOf(std::string_view head) {
    // "HTTP/1.1 200 OK" or, from radio servers, "ICY 200 OK".
    if (!head.starts_with("HTTP/") && !head.starts_with("ICY ")) {
        return 0;
    }
    const std::size_t blank = head.find(' ');
    const ParsedInteger status = parseInteger(head.substr(blank + 1), 10);
    return status.length == 3 ? static_cast<int>(status.value) : 0;
}

[[nodiscard]] bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

std::optional<HttpUrl> parseHttpUrl(std::string_view url) {
    const auto hasScheme = [&](std::string_view scheme) {
        return url.size() > scheme.size() &&
               std::equal(scheme.begin(), scheme.end(), url.begin(),
                          [](char wanted, char c) { return wanted == (c | 0x20); });
    };
    const bool isTls = hasScheme("https://");
    if (!isTls && !hasScheme("http://")) {
        return std::nullopt;
    }
    url.remove_prefix(isTls ? 8 : 7);
    const std::size_t slash = url.find('/');
    const std::string_view authority = url.substr(0, slash);
    if (authority.empty() || authority.find('@') != std::string_view::npos ||
        authority.find_first_of(" \r\n") != std::string_view::npos) {
        return std::nullopt;
    }
    HttpUrl result;
    result.security = isTls ? SocketSystem::Security::Tls : SocketSystem::Security::Plain;
    const HostAndPort hostAndPort = splitHostPort(authority, isTls ? 443 : 80);
    result.host = hostAndPort.host;
    result.port = hostAndPort.port;
    result.authority = authority;
    result.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
    // A path with line breaks or blanks would smuggle headers into the request.
    for (const char c : result.path) {
        if (c == ' ' || c == '\r' || c == '\n') {
            return std::nullopt;
        }
    }
    if (result.host.empty()) {
        return std::nullopt;
    }
    return result;
}

WebStream::WebStream(SocketSystem& sockets, WebStreamLimits limits)
    : socket_(sockets), limits_(limits) {}

std::unique_ptr<WebStream> WebStream::open(SocketSystem& sockets, std::string_view url,
                                           const WebStreamLimits& limits) {
    std::unique_ptr<WebStream> stream(new WebStream(sockets, limits));
    std::string location(url);
    for (int redirects = 0; redirects <= limits.maxRedirects; ++redirects) {
        const std::optional<HttpUrl> parsed = parseHttpUrl(location);
        if (!parsed) {
            return nullptr;
        }
        const std::optional<std::string> head = stream->request(*parsed);
        if (!head) {
            return nullptr;
        }
        const int status = statusOf(*head);
        if (status == 200) {
            stream->contentType_ = std::string(httpHeaderValue(*head, "content-type").value_or(""));
            stream->length_ = httpContentLength(*head);
            return stream;
        }
        const auto next = httpHeaderValue(*head, "location");
        if (!isRedirect(status) || !next) {
            return nullptr;
        }
        // A redirect within the site keeps its scheme: an encrypted stream stays encrypted.
        const std::string scheme =
            parsed->security == SocketSystem::Security::Tls ? "https://" : "http://";
        location = next->starts_with('/') ? scheme + parsed->host + ":" +
                                                std::to_string(parsed->port) + std::string(*next)
                                          : std::string(*next);
    }
    return nullptr;
}

std::optional<std::string> WebStream::request(const HttpUrl& url) {
    kept_.clear();
    keptStart_ = 0;
    position_ = 0;
    hasEnded_ = false;
    if (socket_.connect(url.host, url.port, url.security) != 0) {
        return std::nullopt;
    }
    // A server that shares its address between sites tells them apart by the port too.
    const std::string text = httpRequestText("GET", url.path, url.authority);
    if (socket_.send(text) != static_cast<int>(text.size())) {
        return std::nullopt;
    }
    socket_.setReadTimeout(limits_.idleTimeoutMs);
    std::string head;
    std::array<char, kReceiveBlock> buffer{};
    for (;;) {
        const std::size_t end = head.find("\r\n\r\n");
        if (end != std::string::npos) {
            kept_.assign(head.begin() + static_cast<std::ptrdiff_t>(end + 4), head.end());
            head.resize(end);
            return head;
        }
        if (head.size() > limits_.maxHeadBytes) {
            return std::nullopt;
        }
        const std::size_t got = socket_.read(buffer);
        if (got == 0) {
            return std::nullopt;
        }
        head.append(buffer.data(), got);
    }
}

bool WebStream::receiveMore() {
    if (hasEnded_) {
        return false;
    }
    if (kept_.size() + kReceiveBlock > limits_.maxKeptBytes) {
        // An endless stream: what lies behind the reader can no longer be rewound to.
        const auto behind = static_cast<std::size_t>(position_ - keptStart_);
        kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(behind));
        keptStart_ = position_;
        if (kept_.size() + kReceiveBlock > limits_.maxKeptBytes) {
            hasEnded_ = true; // a seek far ahead of a reader that never reads
            return false;
        }
    }
    std::array<char, kReceiveBlock> buffer{};
    const std::size_t got = socket_.read(buffer);
    if (got == 0) {
        hasEnded_ = true;
        return false;
    }
    kept_.insert(kept_.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
    return true;
}

std::size_t WebStream::read(char* out, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    while (position_ >= keptStart_ + kept_.size()) {
        if (!receiveMore()) {
            return 0;
        }
    }
    const auto offset = static_cast<std::size_t>(position_ - keptStart_);
    const std::size_t count = std::min(size, kept_.size() - offset);
    std::memcpy(out, kept_.data() + offset, count);
    position_ += count;
    return count;
}

bool WebStream::seek(std::uint64_t position) {
    if (position < keptStart_ || (length_ && position > *length_)) {
        return false;
    }
    while (position > keptStart_ + kept_.size()) {
        if (!receiveMore()) {
            return false;
        }
    }
    position_ = position;
    return true;
}

} // namespace vendrel
