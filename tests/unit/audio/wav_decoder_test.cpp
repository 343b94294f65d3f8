#include "audio/wav_decoder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "audio/audio_test_tools.h"

namespace vendrel {
namespace {

using testing::putLe;
using testing::wavBytes;

TEST(WavDecoder, ReadsEveryFormatItKnows) {
    struct Case {
        std::uint32_t bits;
        std::uint32_t formatTag;
        std::uint32_t channels;
        double tolerance;
    };
    const Case cases[] = {
        {8, 1, 1, 1.0 / 100}, {16, 1, 2, 1e-4}, {24, 1, 1, 1e-6}, {32, 3, 2, 0.0}};
    const std::vector<float> values = {0.0f, 0.5f, -0.5f, 0.99f, -0.99f, 0.25f};
    for (const auto& c : cases) {
        const auto sample = decodeWav(wavBytes(values, c.channels, 22050, c.bits, c.formatTag));
        ASSERT_TRUE(sample) << c.bits << " bits";
        EXPECT_EQ(sample->channels, c.channels);
        EXPECT_EQ(sample->rate, 22050u);
        ASSERT_EQ(sample->data.size(), values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            EXPECT_NEAR(sample->data[i], values[i], c.tolerance) << c.bits << " bits #" << i;
        }
    }
}

TEST(WavDecoder, ReadsExtensibleHeadersAndSkipsOtherChunks) {
    const std::string plain = wavBytes({0.5f, -0.5f}, 1, 8000, 16);
    // An odd-sized chunk before "fmt " (with its pad byte), then the extensible header.
    std::string bytes = plain.substr(0, 12) + "LIST";
    putLe(bytes, 3, 4);
    bytes += std::string("abc") + '\0';
    bytes += "fmt ";
    putLe(bytes, 40, 4);
    putLe(bytes, 0xFFFE, 2);
    bytes += plain.substr(22, 14); // channels .. bits of the plain header
    putLe(bytes, 22, 2);
    putLe(bytes, 16, 2);
    putLe(bytes, 1, 4);
    putLe(bytes, 1, 2); // sub-format PCM
    bytes += std::string(14, '\0');
    bytes += plain.substr(36);
    const auto sample = decodeWav(bytes);
    ASSERT_TRUE(sample);
    ASSERT_EQ(sample->data.size(), 2u);
    EXPECT_NEAR(sample->data[1], -0.5f, 1e-4);
}

// Random damage is the fuzzer's (fuzz/wav_fuzz.cpp), which holds every decoded sample to the
// limits of its type.
TEST(WavDecoder, RefusesBrokenFiles) {
    const std::string good = wavBytes({0.5f, -0.5f, 0.25f, 0.0f}, 2, 44100, 16);
    const auto patched = [&](std::size_t at, std::uint32_t value, int size) {
        std::string bytes = good;
        std::string field;
        putLe(field, value, size);
        bytes.replace(at, static_cast<std::size_t>(size), field);
        return bytes;
    };
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"only RIFF", good.substr(0, 11)},
        {"not WAVE", patched(8, 0x45564157 + 1, 4)},
        {"no data chunk", good.substr(0, 36)},
        {"data before fmt", good.substr(0, 12) + good.substr(36) + good.substr(12, 24)},
        {"no channels", patched(22, 0, 2)},
        {"three channels", patched(22, 3, 2)},
        {"rate 0", patched(24, 0, 4)},
        {"rate too high", patched(24, 10'000'000, 4)},
        {"12 bits", patched(34, 12, 2)},
        {"float of 16 bits", patched(20, 3, 2)},
        {"A-law", patched(20, 6, 2)},
        {"block align wrong", patched(32, 3, 2)},
        {"no whole frame", good.substr(0, 44 + 3)},
        {"fmt too short", patched(16, 8, 4)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(decodeWav(c.bytes)) << c.what;
    }
}

TEST(WavDecoder, KeepsTheWholeFramesOfATruncatedFileAndCleansFloats) {
    std::string cut = wavBytes({0.5f, -0.5f, 0.25f}, 1, 44100, 16);
    cut.pop_back(); // the data size still claims three values
    const auto sample = decodeWav(cut);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->frameCount(), 2u);

    const auto floats =
        decodeWav(wavBytes({std::nanf(""), INFINITY, 0.5f, -1.7e38f, 3.0f, 1.0f}, 1, 44100, 32, 3));
    ASSERT_TRUE(floats);
    EXPECT_EQ(floats->data, (std::vector<float>{0.0f, 0.0f, 0.5f, -1.0f, 1.0f, 1.0f}));
}

} // namespace
} // namespace vendrel
