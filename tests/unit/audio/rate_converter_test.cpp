#include "audio/rate_converter.h"

#include <gtest/gtest.h>

#include <vector>

#include "audio/audio_test_tools.h"

namespace vendrel {
namespace {

// Converts a source that counts its frames (left carries the frame number, right its negative,
// so each output frame shows which source frames it was made from) in blocks of these sizes.
std::vector<float> renderInBlocks(std::uint32_t sourceRate, std::uint32_t targetRate,
                                  const std::vector<std::size_t>& blocks) {
    float next = 0.0f;
    RateConverter converter(
        sourceRate, targetRate,
        [&next](float* out, std::size_t frames) {
            for (std::size_t i = 0; i < frames; ++i, ++next) {
                out[i * 2] = next;
                out[i * 2 + 1] = -next;
            }
        },
        4800);
    std::vector<float> out;
    for (std::size_t block : blocks) {
        std::vector<float> part(block * 2);
        converter.render(part.data(), block);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

TEST(RateConverterTest, ReadsTheSourceAtTheRightPlacesWhateverTheBlocks) {
    struct Case {
        std::uint32_t sourceRate;
        std::uint32_t targetRate;
        std::vector<float> left; // the first output frames' left values
    };
    const Case cases[] = {
        {44100, 44100, {0, 1, 2, 3, 4, 5}},
        {88200, 44100, {0, 2, 4, 6, 8, 10}},
        {22050, 44100, {0, 0.5f, 1, 1.5f, 2, 2.5f}},
        {4, 5, {0, 0.8f, 1.6f, 2.4f, 3.2f, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sourceRate);
        const auto out = renderInBlocks(c.sourceRate, c.targetRate, {3, 1, 2});
        for (std::size_t i = 0; i < c.left.size(); ++i) {
            EXPECT_NEAR(out[i * 2], c.left[i], 1e-4) << i;
            EXPECT_NEAR(out[i * 2 + 1], -c.left[i], 1e-4) << i;
        }
    }
    // How the device splits its blocks does not change what is heard.
    const auto whole = renderInBlocks(44100, 48000, {4800});
    const auto split = renderInBlocks(44100, 48000, {1, 479, 63, 65, 4192});
    ASSERT_EQ(split.size(), whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        ASSERT_NEAR(split[i], whole[i], 1e-3) << i;
    }
}

TEST(RateConverterTest, KeepsPitchAndPaceOverLongRuns) {
    const auto tone = testing::sineSample(441.0, 44100, 12.0, 0.5f);
    for (const std::uint32_t targetRate : {48000u, 22050u}) {
        std::size_t read = 0;
        RateConverter converter(
            44100, targetRate,
            [&](float* out, std::size_t frames) {
                for (std::size_t i = 0; i < frames; ++i, ++read) {
                    out[i * 2] = out[i * 2 + 1] = read < tone.data.size() ? tone.data[read] : 0;
                }
            },
            480);
        std::vector<float> out(static_cast<std::size_t>(targetRate) * 10 * 2);
        converter.render(out.data(), out.size() / 2);
        // Ten seconds out took ten seconds in: no drift between mixer and device.
        EXPECT_NEAR(static_cast<double>(read), 441000.0, 2.0) << targetRate;
        EXPECT_NEAR(testing::measuredHertz(out, targetRate, targetRate, out.size() / 2), 441.0, 2.0)
            << targetRate;
    }
}

} // namespace
} // namespace vendrel
