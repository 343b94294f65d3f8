#pragma once
// A sound card list in memory: records every open and close, refuses the devices it is told
// to, and lets a test pull the render callback as the output thread would.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "ports/audio_output.h"

namespace vendrel::testing {

class FakeAudioOutput final : public AudioOutput {
public:
    std::vector<std::string> deviceNames() override {
        calls.push_back("list");
        return names;
    }

    bool open(int device, std::uint32_t rate, RenderCallback render) override {
        calls.push_back("open " + std::to_string(device) + " " + std::to_string(rate));
        if (failing.contains(device) || device < 1 ||
            static_cast<std::size_t>(device) > names.size()) {
            return false;
        }
        current = device;
        render_ = std::move(render);
        return true;
    }

    int currentDevice() const override { return current; }

    void close() override {
        calls.push_back("close");
        current = 0;
        render_ = nullptr;
    }

    // What the output thread would hear from the callback now (frames × 2 floats).
    std::vector<float> pull(std::size_t frames) {
        std::vector<float> out(frames * 2, 0.0f);
        if (render_) {
            render_(out.data(), frames);
        }
        return out;
    }

    std::vector<std::string> names{"Default", "Speakers", "Headphones"};
    std::set<int> failing;
    std::vector<std::string> calls;
    int current = 0;

private:
    RenderCallback render_;
};

} // namespace vendrel::testing
