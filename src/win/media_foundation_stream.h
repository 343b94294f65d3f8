#pragma once
// Streams that Windows decodes for us through Media Foundation: MP3, AAC, WMA and whatever
// else the system has a decoder for, from files and from web URLs (http and https). The Ogg
// files the lounge mostly uses go through our own Vorbis decoder first.

#include <memory>
#include <string>

#include "audio/stream_source.h"

namespace vendrel {

class MediaFoundationOpener final : public StreamOpener {
public:
    MediaFoundationOpener();
    ~MediaFoundationOpener() override;
    MediaFoundationOpener(const MediaFoundationOpener&) = delete;
    MediaFoundationOpener& operator=(const MediaFoundationOpener&) = delete;

    // Both block until the source is open (a web stream connects and reads its headers).
    [[nodiscard]] std::unique_ptr<StreamSource> openFile(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<StreamSource> openUrl(const std::string& url) override;

private:
    bool isStarted_ = false;
};

} // namespace vendrel
