#include "audio/rate_converter.h"

#include <gtest/gtest.h>

#include <functional>

#include <vector>

#include "audio/audio_test_tools.h"

namespace vendrel {
namespace {

// A source that counts its frames: left carries the frame number, right its negative, so a
// test can see exactly which source frames an output frame was made from.
struct CountingSource {
    void operator()(float* out, std::size_t frames) {
        for (std::size_t i = 0; i < frames; ++i) {
            out[i * 2] = static_cast<float>(next);
            out[i * 2 + 1] = -static_cast<float>(next);
            ++next;
        }
    }
    std::size_t next = 0;
};

std::vector<float> renderInBlocks(RateConverter& converter,
                                  const std::vector<std::size_t>& blocks) {
    std::vector<float> out;
    for (std::size_t block : blocks) {
        std::vector<float> part(block * 2);
        converter.render(part.data(), block);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

TEST(RateConverterTest, ReadsTheSourceAtTheRightPlaces) {
    struct Case {
        const char* description;
        std::uint32_t sourceRate;
        std::uint32_t targetRate;
        std::vector<float> left; // the first output frames' left values
    };
    const Case cases[] = {
        {"same rate", 44100, 44100, {0, 1, 2, 3, 4, 5}},
        {"half the rate", 88200, 44100, {0, 2, 4, 6, 8, 10}},
        {"twice the rate", 22050, 44100, {0, 0.5f, 1, 1.5f, 2, 2.5f}},
        {"four fifths", 4, 5, {0, 0.8f, 1.6f, 2.4f, 3.2f, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        CountingSource source;
        RateConverter converter(c.sourceRate, c.targetRate, std::ref(source), 64);
        const auto out = renderInBlocks(converter, {3, 1, 2});
        for (std::size_t i = 0; i < c.left.size(); ++i) {
            EXPECT_NEAR(out[i * 2], c.left[i], 1e-4) << i;
            EXPECT_NEAR(out[i * 2 + 1], -c.left[i], 1e-4) << i;
        }
    }
}

TEST(RateConverterTest, BlockSizesDoNotChangeWhatIsHeard) {
    const std::vector<std::vector<std::size_t>> splits = {
        {4800}, {1, 479, 480, 3840}, {441, 441, 441, 3477}, {1000, 1000, 1000, 1000, 800}};
    std::vector<float> first;
    for (const auto& split : splits) {
        CountingSource source;
        RateConverter converter(44100, 48000, std::ref(source), 1000);
        const auto out = renderInBlocks(converter, split);
        if (first.empty()) {
            first = out;
            continue;
        }
        ASSERT_EQ(out.size(), first.size());
        for (std::size_t i = 0; i < out.size(); ++i) {
            ASSERT_NEAR(out[i], first[i], 1e-3) << i;
        }
    }
}

TEST(RateConverterTest, KeepsPitchAndPaceOverLongRuns) {
    struct Case {
        std::uint32_t targetRate;
    };
    for (const Case c : {Case{48000}, Case{96000}, Case{22050}, Case{44100}}) {
        SCOPED_TRACE(c.targetRate);
        const auto tone = testing::sineSample(441.0, 44100, 12.0, 0.5f);
        std::size_t read = 0;
        RateConverter converter(
            44100, c.targetRate,
            [&](float* out, std::size_t frames) {
                for (std::size_t i = 0; i < frames; ++i, ++read) {
                    out[i * 2] = out[i * 2 + 1] = read < tone.data.size() ? tone.data[read] : 0;
                }
            },
            480);
        std::vector<float> out(static_cast<std::size_t>(c.targetRate) * 10 * 2);
        converter.render(out.data(), out.size() / 2);
        // Ten seconds out took ten seconds in: no drift between mixer and device.
        EXPECT_NEAR(static_cast<double>(read), 441000.0, 2.0);
        EXPECT_NEAR(testing::measuredHertz(out, c.targetRate, c.targetRate, out.size() / 2), 441.0,
                    2.0);
    }
}

} // namespace
} // namespace vendrel
