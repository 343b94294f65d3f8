#pragma once
// Streams that Windows decodes for us through Media Foundation: MP3, AAC, WMA and whatever
// else the system has a decoder for, from files and from web URLs (http and https). The Ogg
// files the lounge mostly uses go through our own Vorbis decoder first.
//
// A web URL goes to the system's own network source first. Where the system has none for
// the scheme (Wine has only files), an http:// URL is fetched by our WebStream and the
// system decodes the bytes as they arrive.

#include <memory>
#include <string>

#include "audio/stream_source.h"
#include "ports/socket_system.h"

namespace vendrel {

class MediaFoundationOpener final : public StreamOpener {
public:
    // Without sockets, web URLs go only to the system's network source.
    explicit MediaFoundationOpener(SocketSystem* sockets = nullptr);
    ~MediaFoundationOpener() override;
    MediaFoundationOpener(const MediaFoundationOpener&) = delete;
    MediaFoundationOpener& operator=(const MediaFoundationOpener&) = delete;

    // Both block until the source is open (a web stream connects and reads its headers).
    [[nodiscard]] std::unique_ptr<StreamSource> openFile(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<StreamSource> openUrl(const std::string& url) override;

private:
    SocketSystem* sockets_;
    bool isStarted_ = false;
};

} // namespace vendrel
