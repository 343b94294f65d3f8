#pragma once
// The sound card through WASAPI in shared mode. One thread of our own owns COM and the audio
// client: it waits for the device's buffer event and fills the buffer from the render
// callback, so nothing the GUI does can hold up the sound. Device changes and the list of
// cards are carried out on that thread too; the GUI thread only waits for their answer.
//
// Devices, numbered from 1:
//   1     "Default": the system's default output, followed when the system changes it
//   2...  every active output by its friendly name, in the order Windows enumerates them
// The default card thus appears twice: as 1 (following the system) and under its own name
// (staying on that card), so a stored name keeps meaning one card whatever the default is.
//
// We ask for float stereo at the mixer's rate and let Windows convert. When the device will
// not take that (some drivers, older Wine), we open it in its own mix format and convert
// ourselves: the rate by linear interpolation, the sample type and the channel layout here.
// The mixer keeps its one rate either way, and debug.txt says which way was taken.

#include <memory>

#include "ports/audio_output.h"

namespace vendrel {
class DebugLog;
}

namespace vendrel::win {

class WasapiOutput final : public AudioOutput {
public:
    explicit WasapiOutput(DebugLog& log);
    ~WasapiOutput() override;
    WasapiOutput(const WasapiOutput&) = delete;
    WasapiOutput& operator=(const WasapiOutput&) = delete;

    std::vector<std::string> deviceNames() override;
    bool open(int device, std::uint32_t rate, RenderCallback render) override;
    int currentDevice() const override;
    void close() override;

private:
    class Thread;
    std::unique_ptr<Thread> thread_;
};

} // namespace vendrel::win
