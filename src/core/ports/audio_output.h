#pragma once
// The sound card as the engine sees it: a list of output devices and a pull callback that the
// mixer fills. Device numbers count from 1 in the list's order; 1 is the system's default
// output (it follows the system when the default changes).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vendrel {

class AudioOutput {
public:
    // Called on the output's own thread: fill frames × 2 interleaved floats (stereo).
    using RenderCallback = std::function<void(float* out, std::size_t frames)>;

    virtual ~AudioOutput() = default;

    // The GUI thread, for all of these. Friendly names; entry 0 is device 1.
    [[nodiscard]] virtual std::vector<std::string> deviceNames() = 0;
    // Opens device n (from 1) and starts pulling at rate frames per second; false when it
    // cannot be opened (the device in use then stays). Opening another device closes the one
    // before, after the new one runs, so sound moves without a gap.
    [[nodiscard]] virtual bool open(int device, std::uint32_t rate, RenderCallback render) = 0;
    // The device playing now, 0 for none.
    [[nodiscard]] virtual int currentDevice() const = 0;
    // Stops pulling; after it returns the callback is not called again.
    virtual void close() = 0;
};

} // namespace vendrel
