// Streams decoded by Media Foundation (the unit tests run under Wine, whose Media Foundation
// decodes through GStreamer): what comes out is measured, not the calls made.
#ifdef _WIN32

#include "media_foundation_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/files.h"
#include "audio/audio_test_tools.h"
#include "fakes/lounge_control.h"
#include "fakes/platform_sockets.h"
#include "fakes/temp_folder.h"

namespace vendrel {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::size_t kFrames = kRate / 2;

// Half a second: a 441 Hz tone on the left, silence on the right.
std::string leftToneWav() {
    std::vector<float> values;
    const auto tone = testing::sineSample(441.0, kRate, 0.5, 0.5f);
    for (float value : tone.data) {
        values.push_back(value);
        values.push_back(0.0f);
    }
    return testing::wavBytes(values, 2, kRate, 16);
}

std::vector<float> readAll(StreamSource& source) {
    std::vector<float> out;
    std::vector<float> block(4096 * source.channels());
    while (const std::size_t frames = source.read(block.data(), 4096)) {
        out.insert(out.end(), block.begin(), block.begin() + frames * source.channels());
    }
    return out;
}

TEST(MediaFoundationStream, DecodesAFileWithItsChannelsRateAndContent) {
    testing::TempFolder folder;
    ASSERT_TRUE(replaceFileAtomically(folder.str() + "tone.wav", leftToneWav()));
    MediaFoundationOpener opener;
    auto source = opener.openFile(folder.str() + "tone.wav");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->channels(), 2u);
    EXPECT_EQ(source->rate(), kRate);
    EXPECT_NEAR(static_cast<double>(source->lengthInFrames().value_or(0)), kFrames, kRate / 100.0);

    const auto out = readAll(*source);
    EXPECT_NEAR(static_cast<double>(out.size() / 2), kFrames, kRate / 100.0);
    EXPECT_NEAR(testing::measuredHertz(out, kRate, 0, out.size() / 2), 441.0, 2.0);
    EXPECT_NEAR(testing::channelRms(out, 0, 0, out.size() / 2), 0.5 / std::sqrt(2.0), 0.02);
    EXPECT_LT(testing::channelRms(out, 1, 0, out.size() / 2), 0.001);

    // Back to the middle: only the second half is left to read.
    ASSERT_TRUE(source->seek(kFrames / 2));
    EXPECT_NEAR(static_cast<double>(readAll(*source).size() / 2), kFrames / 2.0, kRate / 50.0);
}

TEST(MediaFoundationStream, RefusesWhatItCannotPlay) {
    testing::TempFolder folder;
    ASSERT_TRUE(replaceFileAtomically(folder.str() + "garbage.mp3", std::string(5000, '\x5a')));
    ASSERT_TRUE(replaceFileAtomically(folder.str() + "truncated.wav", leftToneWav().substr(0, 30)));
    MediaFoundationOpener opener;
    for (const char* name : {"garbage.mp3", "truncated.wav", "missing.mp3"}) {
        EXPECT_EQ(opener.openFile(folder.str() + name), nullptr) << name;
    }
    EXPECT_EQ(opener.openUrl("ftp://localhost/x.mp3"), nullptr);
    // Nothing listens on port 9 of this machine: the connection is refused at once.
    EXPECT_EQ(opener.openUrl("http://127.0.0.1:9/x.mp3"), nullptr);
}

// Run beside the lounge (tests/run_with_lounge.py), whose web host serves the file. Wine's
// Media Foundation has no http source, so there this goes through our own WebStream.
TEST(ClientSessionLoungeMediaFoundation, PlaysAWebStream) {
    if (!testing::LoungeControl::isAvailable()) {
        GTEST_SKIP() << "needs the lounge";
    }
    ASSERT_TRUE(
        replaceFileAtomically(testing::LoungeControl::webRoot() + "\\web-tone.wav", leftToneWav()));
    MediaFoundationOpener opener(&testing::platformSockets());
    auto source =
        opener.openUrl("http://127.0.0.1:" + std::to_string(testing::LoungeControl::webPort()) +
                       "/autodl/web-tone.wav");
    ASSERT_NE(source, nullptr);
    const auto out = readAll(*source);
    EXPECT_NEAR(static_cast<double>(out.size() / 2), kFrames, kRate / 100.0);
    EXPECT_NEAR(testing::measuredHertz(out, kRate, 0, out.size() / 2), 441.0, 2.0);
}

} // namespace
} // namespace vendrel

#endif
