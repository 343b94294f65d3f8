#pragma once
// One open WASAPI render stream: an audio client on one device, its buffer event and, when
// the device would not take our format, the conversion to the device's own. Used only on the
// output thread, which must have joined COM.

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/rate_converter.h"
#include "ports/audio_output.h"

namespace vendrel::win {

// A device's raw sample layout when we have to write it ourselves.
struct DeviceFormat {
    std::uint32_t rate = 0;
    std::uint32_t channels = 0;
    std::uint32_t bits = 0; // 16 or 32
    bool isFloat = false;
};

class WasapiStream {
public:
    ~WasapiStream();
    WasapiStream(const WasapiStream&) = delete;
    WasapiStream& operator=(const WasapiStream&) = delete;

    // The device with this endpoint id (empty: the default output), started and pulling from
    // render; nothing when it cannot be opened. note tells how the format was settled, for
    // debug.txt.
    [[nodiscard]] static std::unique_ptr<WasapiStream>
    open(IMMDeviceEnumerator& enumerator, const std::wstring& endpointId, std::uint32_t rate,
         AudioOutput::RenderCallback render, std::string& note);

    // Signalled when the device wants more.
    [[nodiscard]] HANDLE event() const { return event_; }
    // Fills what the device has room for; false when the device is gone.
    [[nodiscard]] bool fill();

private:
    explicit WasapiStream(AudioOutput::RenderCallback render) : render_(std::move(render)) {}
    [[nodiscard]] bool initialize(IMMDevice& device, std::uint32_t rate, std::string& note);
    [[nodiscard]] bool start();
    void writeConverted(BYTE* data, UINT32 frames);

    AudioOutput::RenderCallback render_;
    Microsoft::WRL::ComPtr<IAudioClient> client_;
    Microsoft::WRL::ComPtr<IAudioRenderClient> renderClient_;
    HANDLE event_ = nullptr;
    UINT32 bufferFrames_ = 0;
    bool isStarted_ = false;
    // Only when we convert ourselves.
    DeviceFormat format_;
    std::unique_ptr<RateConverter> converter_;
    std::vector<float> scratch_;
};

// Every active output: its endpoint id and friendly name (UTF-8), in Windows' order.
struct Endpoint {
    std::wstring id;
    std::string name;
};
[[nodiscard]] std::vector<Endpoint> listEndpoints(IMMDeviceEnumerator& enumerator);

} // namespace vendrel::win
