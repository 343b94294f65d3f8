#include "media_foundation_stream.h"

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <propvarutil.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/sample.h"
#include "net/web_stream.h"
#include "win_text.h"

namespace vendrel {
namespace {

using Microsoft::WRL::ComPtr;

constexpr std::uint32_t kMaxSourceChannels = 32;
constexpr double kHundredNanosecondsPerSecond = 1e7;
// A decoded block larger than this is not audio we can trust.
constexpr DWORD kMaxBlockBytes = 64u << 20;

// The feeder thread and the threads that open streams may never have met COM; Media
// Foundation's objects are free-threaded, so each such thread joins the multithreaded
// apartment once. A thread already in a single-threaded one (the GUI thread) keeps it.
void joinComOnThisThread() {
    thread_local bool hasJoined = false;
    if (!hasJoined) {
        hasJoined = true;
        const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        (void)result; // RPC_E_CHANGED_MODE: the thread already has an apartment, which serves
    }
}

class MediaFoundationSource final : public StreamSource {
public:
    MediaFoundationSource(ComPtr<IMFSourceReader> reader, std::uint32_t sourceChannels,
                          std::uint32_t rate)
        : reader_(std::move(reader)), sourceChannels_(sourceChannels),
          channels_(std::min<std::uint32_t>(sourceChannels, 2)), rate_(rate) {}

    std::uint32_t channels() const override { return channels_; }
    std::uint32_t rate() const override { return rate_; }

    std::size_t read(float* out, std::size_t frames) override {
        std::size_t done = 0;
        while (done < frames) {
            if (next_ >= pending_.size() && !readBlock()) {
                break;
            }
            const std::size_t available = (pending_.size() - next_) / sourceChannels_;
            const std::size_t count = std::min(available, frames - done);
            for (std::size_t frame = 0; frame < count; ++frame) {
                const float* in = pending_.data() + next_ + frame * sourceChannels_;
                for (std::uint32_t channel = 0; channel < channels_; ++channel) {
                    out[(done + frame) * channels_ + channel] = in[channel];
                }
            }
            next_ += count * sourceChannels_;
            done += count;
        }
        return done;
    }

    bool seek(std::uint64_t frame) override {
        joinComOnThisThread();
        const auto length = lengthInFrames();
        if (!canSeek() || (length && frame > *length)) {
            return false;
        }
        PROPVARIANT position;
        PropVariantInit(&position);
        position.vt = VT_I8;
        position.hVal.QuadPart = static_cast<LONGLONG>(static_cast<double>(frame) / rate_ *
                                                       kHundredNanosecondsPerSecond);
        const HRESULT result = reader_->SetCurrentPosition(GUID_NULL, position);
        PropVariantClear(&position);
        if (FAILED(result)) {
            return false;
        }
        pending_.clear();
        next_ = 0;
        hasEnded_ = false;
        return true;
    }

    std::optional<std::uint64_t> lengthInFrames() const override {
        PROPVARIANT duration;
        PropVariantInit(&duration);
        std::optional<std::uint64_t> frames;
        if (SUCCEEDED(reader_->GetPresentationAttribute(MF_SOURCE_READER_MEDIASOURCE,
                                                        MF_PD_DURATION, &duration)) &&
            duration.vt == VT_UI8) {
            frames = static_cast<std::uint64_t>(static_cast<double>(duration.uhVal.QuadPart) /
                                                kHundredNanosecondsPerSecond * rate_);
        }
        PropVariantClear(&duration);
        return frames;
    }

private:
    [[nodiscard]] bool canSeek() const {
        PROPVARIANT characteristics;
        PropVariantInit(&characteristics);
        bool result = false;
        if (SUCCEEDED(reader_->GetPresentationAttribute(
                MF_SOURCE_READER_MEDIASOURCE, MF_SOURCE_READER_MEDIASOURCE_CHARACTERISTICS,
                &characteristics)) &&
            characteristics.vt == VT_UI4) {
            result = (characteristics.ulVal & MFMEDIASOURCE_CAN_SEEK) != 0;
        }
        PropVariantClear(&characteristics);
        return result;
    }

    // The next decoded block into pending_; false at the end or after an error.
    bool readBlock() {
        pending_.clear();
        next_ = 0;
        joinComOnThisThread();
        while (!hasEnded_ && pending_.empty()) {
            DWORD flags = 0;
            ComPtr<IMFSample> sample;
            const HRESULT result = reader_->ReadSample(MF_SOURCE_READER_FIRST_AUDIO_STREAM, 0,
                                                       nullptr, &flags, nullptr, &sample);
            if (FAILED(result) ||
                (flags & (MF_SOURCE_READERF_ENDOFSTREAM | MF_SOURCE_READERF_ERROR |
                          MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED))) {
                // A format change mid-stream would need a new source; the stream ends there.
                hasEnded_ = true;
            }
            if (sample && !hasEnded_) {
                copyBlock(*sample.Get());
            }
        }
        return !pending_.empty();
    }

    void copyBlock(IMFSample& sample) {
        ComPtr<IMFMediaBuffer> buffer;
        if (FAILED(sample.ConvertToContiguousBuffer(&buffer))) {
            hasEnded_ = true;
            return;
        }
        BYTE* bytes = nullptr;
        DWORD length = 0;
        if (FAILED(buffer->Lock(&bytes, nullptr, &length))) {
            hasEnded_ = true;
            return;
        }
        if (length <= kMaxBlockBytes) {
            const std::size_t frameBytes = sizeof(float) * sourceChannels_;
            const std::size_t values = length / frameBytes * sourceChannels_;
            pending_.resize(values);
            std::copy_n(reinterpret_cast<const float*>(bytes), values, pending_.data());
            // A decoder fed hostile data may give anything; the mixer gets only sound.
            for (float& value : pending_) {
                value = std::isfinite(value) ? std::clamp(value, -1.0f, 1.0f) : 0.0f;
            }
        } else {
            hasEnded_ = true;
        }
        buffer->Unlock();
    }

    ComPtr<IMFSourceReader> reader_;
    std::uint32_t sourceChannels_;
    std::uint32_t channels_;
    std::uint32_t rate_;
    std::vector<float> pending_;
    std::size_t next_ = 0;
    bool hasEnded_ = false;
};

// Asks the reader for float samples of the first audio stream only.
bool chooseFloatOutput(IMFSourceReader& reader) {
    ComPtr<IMFMediaType> type;
    return SUCCEEDED(reader.SetStreamSelection(MF_SOURCE_READER_ALL_STREAMS, FALSE)) &&
           SUCCEEDED(reader.SetStreamSelection(MF_SOURCE_READER_FIRST_AUDIO_STREAM, TRUE)) &&
           SUCCEEDED(MFCreateMediaType(&type)) &&
           SUCCEEDED(type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio)) &&
           SUCCEEDED(type->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_Float)) &&
           SUCCEEDED(reader.SetCurrentMediaType(MF_SOURCE_READER_FIRST_AUDIO_STREAM, nullptr,
                                                type.Get()));
}

// Declared by the system's headers but not by MinGW's; mfplat exports it.
extern "C" HRESULT WINAPI MFCreateMFByteStreamOnStream(IStream* stream, IMFByteStream** bytes);

// COM objects end through Release, never through a pointer to their interface, which is why
// the interfaces have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// A WebStream as the COM stream Media Foundation reads bytes from. Only what a byte stream
// on a stream calls is offered: reading, seeking and the size.
class WebComStream final : public IStream {
public:
    explicit WebComStream(std::unique_ptr<WebStream> web) : web_(std::move(web)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (id == IID_IUnknown || id == IID_ISequentialStream || id == IID_IStream) {
            *out = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(void* out, ULONG size, ULONG* done) override {
        ULONG total = 0;
        auto* bytes = static_cast<char*>(out);
        while (total < size) {
            const std::size_t got = web_->read(bytes + total, size - total);
            if (got == 0) {
                break;
            }
            total += static_cast<ULONG>(got);
        }
        if (done != nullptr) {
            *done = total;
        }
        return total == size ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override {
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* newPosition) override {
        std::int64_t base = 0;
        if (origin == STREAM_SEEK_CUR) {
            base = static_cast<std::int64_t>(web_->position());
        } else if (origin == STREAM_SEEK_END) {
            if (!web_->length()) {
                return STG_E_INVALIDFUNCTION;
            }
            base = static_cast<std::int64_t>(*web_->length());
        } else if (origin != STREAM_SEEK_SET) {
            return STG_E_INVALIDFUNCTION;
        }
        const std::int64_t target = base + move.QuadPart;
        if (target < 0 || !web_->seek(static_cast<std::uint64_t>(target))) {
            return STG_E_INVALIDFUNCTION;
        }
        if (newPosition != nullptr) {
            newPosition->QuadPart = static_cast<ULONGLONG>(target);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (stat == nullptr) {
            return E_POINTER;
        }
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        // A radio stream has no end; the largest size stands for that.
        stat->cbSize.QuadPart = web_->length().value_or(~std::uint64_t{0} >> 1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    ~WebComStream() = default;

    std::unique_ptr<WebStream> web_;
    std::atomic<ULONG> references_{1};
};
#pragma GCC diagnostic pop

// The reader over bytes our WebStream fetches; the content type and the URL help the system
// choose a decoder, as a file's extension would.
ComPtr<IMFSourceReader> readerOverWebStream(SocketSystem& sockets, const std::string& url) {
    auto web = WebStream::open(sockets, url);
    if (!web) {
        return nullptr;
    }
    const std::wstring contentType = win::utf8ToWin(web->contentType());
    ComPtr<IStream> stream;
    stream.Attach(new WebComStream(std::move(web)));
    ComPtr<IMFByteStream> bytes;
    if (FAILED(MFCreateMFByteStreamOnStream(stream.Get(), &bytes))) {
        return nullptr;
    }
    ComPtr<IMFAttributes> attributes;
    if (SUCCEEDED(bytes.As(&attributes))) {
        if (!contentType.empty()) {
            (void)attributes->SetString(MF_BYTESTREAM_CONTENT_TYPE, contentType.c_str());
        }
        (void)attributes->SetString(MF_BYTESTREAM_ORIGIN_NAME, win::utf8ToWin(url).c_str());
    }
    ComPtr<IMFSourceReader> reader;
    if (FAILED(MFCreateSourceReaderFromByteStream(bytes.Get(), nullptr, &reader))) {
        return nullptr;
    }
    return reader;
}

std::unique_ptr<StreamSource> sourceFromReader(ComPtr<IMFSourceReader> reader) {
    if (!reader || !chooseFloatOutput(*reader.Get())) {
        return nullptr;
    }
    ComPtr<IMFMediaType> type;
    UINT32 channels = 0;
    UINT32 rate = 0;
    UINT32 bits = 0;
    if (FAILED(reader->GetCurrentMediaType(MF_SOURCE_READER_FIRST_AUDIO_STREAM, &type)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits))) {
        return nullptr;
    }
    if (bits != 32 || channels == 0 || channels > kMaxSourceChannels || rate < kMinSampleRate ||
        rate > kMaxSampleRate) {
        return nullptr;
    }
    return std::make_unique<MediaFoundationSource>(std::move(reader), channels, rate);
}

std::unique_ptr<StreamSource> openSource(const std::string& location) {
    joinComOnThisThread();
    ComPtr<IMFSourceReader> reader;
    if (FAILED(MFCreateSourceReaderFromURL(win::utf8ToWin(location).c_str(), nullptr, &reader))) {
        return nullptr;
    }
    return sourceFromReader(std::move(reader));
}

bool isWebUrl(const std::string& url) {
    return url.starts_with("http://") || url.starts_with("https://");
}

} // namespace

MediaFoundationOpener::MediaFoundationOpener(SocketSystem* sockets) : sockets_(sockets) {
    joinComOnThisThread();
    isStarted_ = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_FULL));
}

MediaFoundationOpener::~MediaFoundationOpener() {
    if (isStarted_) {
        MFShutdown();
    }
}

std::unique_ptr<StreamSource> MediaFoundationOpener::openFile(const std::string& path) {
    return isStarted_ ? openSource(path) : nullptr;
}

std::unique_ptr<StreamSource> MediaFoundationOpener::openUrl(const std::string& url) {
    // Media Foundation has no ftp; such a URL is simply not playable.
    if (!isStarted_ || !isWebUrl(url)) {
        return nullptr;
    }
    if (auto source = openSource(url)) {
        return source;
    }
    if (sockets_ == nullptr || !parseHttpUrl(url)) {
        return nullptr;
    }
    return sourceFromReader(readerOverWebStream(*sockets_, url));
}

} // namespace vendrel
