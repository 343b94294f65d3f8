#include "wasapi_stream.h"

#include <functiondiscoverykeys_devpkey.h>
#include <mmreg.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "text/format.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

using Microsoft::WRL::ComPtr;

// The device asks every period (10 ms on most systems) and we top the buffer up each time, so
// our thread may be held up for the rest of it without a dropout; yet a key's sound is still
// heard at once.
constexpr REFERENCE_TIME kBufferDuration = 400000; // 40 ms in 100-ns units

// The GUIDs are spelled out so that no extra import library is needed for them.
constexpr GUID kSubtypeFloat = {
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr GUID kSubtypePcm = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr PROPERTYKEY kFriendlyName = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

WAVEFORMATEXTENSIBLE floatStereo(std::uint32_t rate) {
    WAVEFORMATEXTENSIBLE format{};
    format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.Format.nChannels = 2;
    format.Format.nSamplesPerSec = rate;
    format.Format.wBitsPerSample = 32;
    format.Format.nBlockAlign = 8;
    format.Format.nAvgBytesPerSec = rate * 8;
    format.Format.cbSize = static_cast<WORD>(sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX));
    format.Samples.wValidBitsPerSample = 32;
    format.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    format.SubFormat = kSubtypeFloat;
    return format;
}

// The layouts we can write; anything else is refused.
bool readFormat(const WAVEFORMATEX& raw, DeviceFormat& format) {
    bool isFloat = raw.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    bool isPcm = raw.wFormatTag == WAVE_FORMAT_PCM;
    if (raw.wFormatTag == WAVE_FORMAT_EXTENSIBLE && raw.cbSize >= 22) {
        const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(raw);
        isFloat = IsEqualGUID(extensible.SubFormat, kSubtypeFloat);
        isPcm = IsEqualGUID(extensible.SubFormat, kSubtypePcm);
    }
    format = {static_cast<std::uint32_t>(raw.nSamplesPerSec), raw.nChannels, raw.wBitsPerSample,
              isFloat};
    const bool hasKnownBits = (isFloat && raw.wBitsPerSample == 32) ||
                              (isPcm && (raw.wBitsPerSample == 16 || raw.wBitsPerSample == 32));
    return hasKnownBits && raw.nChannels >= 1 && raw.nChannels <= 32 && raw.nSamplesPerSec > 0 &&
           raw.nBlockAlign == raw.nChannels * raw.wBitsPerSample / 8;
}

} // namespace

WasapiStream::~WasapiStream() {
    if (client_ && isStarted_) {
        client_->Stop();
    }
    renderClient_.Reset();
    client_.Reset();
    if (event_) {
        CloseHandle(event_);
    }
}

std::unique_ptr<WasapiStream> WasapiStream::open(IMMDeviceEnumerator& enumerator,
                                                 const std::wstring& endpointId, std::uint32_t rate,
                                                 AudioOutput::RenderCallback render,
                                                 std::string& note) {
    ComPtr<IMMDevice> device;
    const HRESULT found =
        endpointId.empty()
            ? enumerator.GetDefaultAudioEndpoint(eRender, eConsole, device.GetAddressOf())
            : enumerator.GetDevice(endpointId.c_str(), device.GetAddressOf());
    if (FAILED(found)) {
        note = "WASAPI: no such device";
        return nullptr;
    }
    std::unique_ptr<WasapiStream> stream(new WasapiStream(std::move(render)));
    stream->event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!stream->event_ || !stream->initialize(*device.Get(), rate, note) || !stream->start()) {
        return nullptr;
    }
    return stream;
}

bool WasapiStream::initialize(IMMDevice& device, std::uint32_t rate, std::string& note) {
    if (FAILED(device.Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                               reinterpret_cast<void**>(client_.GetAddressOf())))) {
        note = "WASAPI: cannot activate the device";
        return false;
    }
    WAVEFORMATEXTENSIBLE wanted = floatStereo(rate);
    HRESULT result =
        client_->Initialize(AUDCLNT_SHAREMODE_SHARED,
                            AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM |
                                AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY,
                            kBufferDuration, 0, &wanted.Format, nullptr);
    if (SUCCEEDED(result)) {
        note = formatText(96, "WASAPI: float stereo at %u Hz", rate);
    } else {
        // A client can be initialised only once: the device's own format needs a fresh one.
        client_.Reset();
        WAVEFORMATEX* mix = nullptr;
        if (FAILED(device.Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                   reinterpret_cast<void**>(client_.GetAddressOf()))) ||
            FAILED(client_->GetMixFormat(&mix))) {
            note = "WASAPI: the device has no mix format";
            return false;
        }
        const bool isKnown = readFormat(*mix, format_);
        result = isKnown ? client_->Initialize(AUDCLNT_SHAREMODE_SHARED,
                                               AUDCLNT_STREAMFLAGS_EVENTCALLBACK, kBufferDuration,
                                               0, mix, nullptr)
                         : E_FAIL;
        CoTaskMemFree(mix);
        note = formatText(160,
                          "WASAPI: the device refused float stereo at %u Hz; converting to its "
                          "own %u Hz, %u channels, %u bits%s",
                          rate, format_.rate, format_.channels, format_.bits,
                          format_.isFloat ? " float" : "");
        if (FAILED(result)) {
            return false;
        }
    }
    if (FAILED(client_->SetEventHandle(event_)) || FAILED(client_->GetBufferSize(&bufferFrames_)) ||
        bufferFrames_ == 0 ||
        FAILED(client_->GetService(__uuidof(IAudioRenderClient),
                                   reinterpret_cast<void**>(renderClient_.GetAddressOf())))) {
        note += "; the device would not start";
        return false;
    }
    if (format_.rate != 0) {
        converter_ = std::make_unique<RateConverter>(rate, format_.rate, render_, bufferFrames_);
        scratch_.assign(static_cast<std::size_t>(bufferFrames_) * 2, 0.0f);
    }
    return true;
}

bool WasapiStream::start() {
    // A full buffer before starting, so the first period is not heard as a click.
    if (!fill() || FAILED(client_->Start())) {
        return false;
    }
    isStarted_ = true;
    return true;
}

bool WasapiStream::fill() {
    UINT32 padding = 0;
    if (FAILED(client_->GetCurrentPadding(&padding))) {
        return false;
    }
    const UINT32 frames = bufferFrames_ - std::min(padding, bufferFrames_);
    if (frames == 0) {
        return true;
    }
    BYTE* data = nullptr;
    if (FAILED(renderClient_->GetBuffer(frames, &data))) {
        return false;
    }
    if (converter_) {
        writeConverted(data, frames);
    } else {
        render_(reinterpret_cast<float*>(data), frames);
    }
    return SUCCEEDED(renderClient_->ReleaseBuffer(frames, 0));
}

void WasapiStream::writeConverted(BYTE* data, UINT32 frames) {
    converter_->render(scratch_.data(), frames);
    const std::uint32_t channels = format_.channels;
    const std::size_t bytes = format_.bits / 8;
    for (UINT32 frame = 0; frame < frames; ++frame) {
        const float left = scratch_[frame * 2];
        const float right = scratch_[frame * 2 + 1];
        for (std::uint32_t channel = 0; channel < channels; ++channel) {
            // Left and right go to the first two speakers; a single speaker hears both.
            float value = channels == 1  ? (left + right) * 0.5f
                          : channel == 0 ? left
                          : channel == 1 ? right
                                         : 0.0f;
            value = std::clamp(value, -1.0f, 1.0f);
            BYTE* at = data + (static_cast<std::size_t>(frame) * channels + channel) * bytes;
            if (format_.isFloat) {
                std::memcpy(at, &value, sizeof value);
            } else if (bytes == 2) {
                const auto sample = static_cast<std::int16_t>(std::lround(value * 32767.0f));
                std::memcpy(at, &sample, sizeof sample);
            } else {
                const auto sample = static_cast<std::int32_t>(
                    std::llround(static_cast<double>(value) * 2147483647.0));
                std::memcpy(at, &sample, sizeof sample);
            }
        }
    }
}

std::vector<Endpoint> listEndpoints(IMMDeviceEnumerator& enumerator) {
    std::vector<Endpoint> endpoints;
    ComPtr<IMMDeviceCollection> collection;
    UINT count = 0;
    if (FAILED(enumerator.EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE,
                                             collection.GetAddressOf())) ||
        FAILED(collection->GetCount(&count))) {
        return endpoints;
    }
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        LPWSTR id = nullptr;
        if (FAILED(collection->Item(i, device.GetAddressOf())) || FAILED(device->GetId(&id))) {
            continue;
        }
        Endpoint endpoint{id, {}};
        CoTaskMemFree(id);
        ComPtr<IPropertyStore> properties;
        PROPVARIANT name;
        PropVariantInit(&name);
        if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, properties.GetAddressOf())) &&
            SUCCEEDED(properties->GetValue(kFriendlyName, &name)) && name.vt == VT_LPWSTR &&
            name.pwszVal) {
            endpoint.name = winToUtf8(name.pwszVal);
        }
        PropVariantClear(&name);
        endpoints.push_back(std::move(endpoint));
    }
    return endpoints;
}

} // namespace vendrel::win
