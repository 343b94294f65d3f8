#include "vorbis_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "audio/audio_test_tools.h"
#include "codecs/ogg_test_tools.h"
#include "fakes/temp_folder.h"

// Random damage is the fuzzer's (fuzz/ogg_fuzz.cpp); these tests hold the decoder to the rules
// a damaged or hostile file meets, case by case.
namespace vendrel {
namespace {

using testing::amplitudeAt;
using testing::testSound;

const char* const kMono = "sine440_mono_8000.ogg";           // 80000 frames
const char* const kStereo = "sine440_1000_stereo_44100.ogg"; // 22050 frames
const char* const kNineChannels = "nine_channels_8000.ogg";

bool isWithinFullScale(const Sample& sample) {
    return std::all_of(sample.data.begin(), sample.data.end(),
                       [](float value) { return value >= -1.0f && value <= 1.0f; });
}

// Everything the stream gives, read in odd-sized blocks.
std::vector<float> readAll(StreamSource& stream) {
    std::vector<float> out;
    std::vector<float> block(777 * stream.channels());
    while (const std::size_t frames = stream.read(block.data(), 777)) {
        out.insert(out.end(), block.begin(),
                   block.begin() + static_cast<std::ptrdiff_t>(frames * stream.channels()));
    }
    return out;
}

TEST(VorbisDecoder, DeclinesWhatItDoesNotTake) {
    const std::string mono = testSound(kMono);
    struct Case {
        const char* what;
        std::string bytes;
        bool looksLikeOgg;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"a WAV file", testing::wavBytes({0.5f, -0.5f}, 1, 8000, 16), false},
        {"nine channels, no speaker order", testSound(kNineChannels), true},
        {"cut in the headers", mono.substr(0, 200), true},
        {"headers only", mono.substr(0, testing::oggPages(mono)[2].at), true},
        {"no first page", mono.substr(testing::oggPages(mono)[1].at), true},
        {"garbage after the magic", "OggS" + std::string(5000, '\x5a'), true},
    };
    testing::TempFolder folder;
    VorbisStreamOpener opener;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(VorbisDecoder().canDecode(c.bytes), c.looksLikeOgg);
        EXPECT_FALSE(VorbisDecoder().decode(c.bytes));
        // A stream may open on headers alone, but it holds no sound; the file opener takes
        // what the memory stream takes, so a file it declines goes on to the other openers.
        const auto stream = openVorbisMemoryStream(c.bytes);
        EXPECT_TRUE(!stream || readAll(*stream).empty());
        std::ofstream(pathFromUtf8(folder.str() + "file.ogg"), std::ios::binary) << c.bytes;
        EXPECT_EQ(opener.openFile(folder.str() + "file.ogg") != nullptr, stream != nullptr);
    }
    EXPECT_FALSE(opener.openFile(folder.str() + "missing.ogg"));
    EXPECT_FALSE(opener.openFile(folder.str()));
    // Web streams belong to another opener, whatever they carry.
    EXPECT_FALSE(opener.openUrl("file://" + testing::testSoundPath(kMono)));
    EXPECT_FALSE(opener.openUrl("http://localhost/sound.ogg"));
}

// Each source channel of the test files carries its own sine of amplitude 0.5 (written by
// SoX), so the amplitude at a frequency shows where that channel went, at which level.
TEST(VorbisDecoder, DecodesMixesSurroundDownAndPlaysChainsOnWhileTheFormatStays) {
    struct Tone {
        double hertz;
        std::vector<double> levels; // in each channel that comes out
    };
    struct Case {
        const char* what;
        std::string bytes;
        std::uint32_t channels;
        std::uint32_t rate;
        std::size_t frames;
        std::vector<Tone> tones;
    };
    const std::string mono = testSound(kMono);
    const std::string stereo = testSound(kStereo);
    // Left of 3.0 sums 1 + 0.707 of gain; left of 5.1 sums 1 + 0.707 + 0.707.
    const double three = 0.5 / (1.0 + std::sqrt(0.5));
    const double six = 0.5 / (1.0 + 2.0 * std::sqrt(0.5));
    const double half = std::sqrt(0.5);
    const Case cases[] = {
        {"mono", mono, 1, 8000, 80000, {{440, {0.5}}}},
        {"stereo", stereo, 2, 44100, 22050, {{440, {0.5, 0}}, {1000, {0, 0.5}}}},
        {"3.0",
         testSound("three_channels_8000.ogg"),
         2,
         8000,
         4000,
         {{300, {three, 0}}, {500, {three * half, three * half}}, {700, {0, three}}}},
        {"5.1",
         testSound("six_channels_8000.ogg"),
         2,
         8000,
         4000,
         {{300, {six, 0}},                 // front left
          {500, {six * half, six * half}}, // centre
          {700, {0, six}},                 // front right
          {900, {six * half, 0}},          // back left
          {1100, {0, six * half}},         // back right
          {1300, {0, 0}}}},                // low frequency, dropped
        {"mono then mono", mono + testing::withSerial(mono, 77), 1, 8000, 160000, {}},
        // The stereo link would be read as mono at the wrong rate: the sound ends before it.
        {"mono then stereo", mono + stereo, 1, 8000, 80000, {}},
        {"stereo then mono", stereo + mono, 2, 44100, 22050, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto sample = VorbisDecoder().decode(c.bytes);
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->channels, c.channels);
        EXPECT_EQ(sample->rate, c.rate);
        EXPECT_EQ(sample->data.size(), c.frames * c.channels);
        EXPECT_TRUE(isWithinFullScale(*sample));
        // From 0.1 s to 0.4 s: a whole number of periods of every tone.
        for (const auto& tone : c.tones) {
            for (std::uint32_t channel = 0; channel < c.channels; ++channel) {
                EXPECT_NEAR(amplitudeAt(sample->data, c.channels, channel, c.rate, tone.hertz,
                                        c.rate / 10, c.rate * 3 / 10),
                            tone.levels[channel], 0.02)
                    << tone.hertz << " Hz, channel " << channel;
            }
        }
        // The stream knows the length and gives the same.
        const auto stream = openVorbisMemoryStream(c.bytes);
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->lengthInFrames(), c.frames);
        EXPECT_EQ(readAll(*stream), sample->data);
    }
}

TEST(VorbisDecoder, HostileIdentificationHeadersAreDeclined) {
    const std::string mono = testSound(kMono);
    struct Case {
        std::uint32_t channels;
        std::uint32_t rate;
        bool isTaken;
    };
    const Case cases[] = {
        {0, 8000, false},          {9, 8000, false},          {1, kMinSampleRate - 1, false},
        {1, kMinSampleRate, true}, {1, kMaxSampleRate, true}, {1, kMaxSampleRate + 1, false},
        {1, 0xFFFFFFFFu, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, rate " + std::to_string(c.rate));
        const std::string bytes = testing::withHeaderFields(mono, c.channels, c.rate);
        const auto sample = VorbisDecoder().decode(bytes);
        EXPECT_EQ(sample.has_value(), c.isTaken);
        EXPECT_EQ(openVorbisMemoryStream(bytes) != nullptr, c.isTaken);
        EXPECT_TRUE(!sample || sample->rate == c.rate);
    }
}

TEST(VorbisDecoder, LengthsBeyondTheLimitAreRefusedAnnouncedOrNot) {
    const std::string mono = testSound(kMono);
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t maxValues;
        bool isDecoded;
    };
    const Case cases[] = {
        {"exactly at the limit", mono, 80000, true},
        {"one value over", mono, 79999, false},
        // A tiny file announcing a terabyte of sound must not get it allocated.
        {"announces 2^40 frames", testing::withLastGranule(mono, std::uint64_t{1} << 40),
         kMaxSampleValues, false},
        {"announces almost 2^64 frames", testing::withLastGranule(mono, ~std::uint64_t{0} >> 1),
         kMaxSampleValues, false},
        // Announcing less than it holds does not get it past the limit.
        {"announces 100 frames", testing::withLastGranule(mono, 100), 5000, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VorbisDecoder(c.maxValues).decode(c.bytes).has_value(), c.isDecoded) << c.what;
    }
}

TEST(VorbisDecoder, CutFilesKeepTheSoundBeforeTheCut) {
    const std::string bytes = testSound(kMono);
    const auto whole = VorbisDecoder().decode(bytes);
    ASSERT_TRUE(whole);
    std::size_t longestCut = 0;
    for (std::size_t size = 0; size < bytes.size(); size += 97) {
        const auto sample = VorbisDecoder().decode(bytes.substr(0, size));
        if (sample) {
            // What came before the cut decodes as it did in the whole file.
            ASSERT_LE(sample->data.size(), whole->data.size()) << size;
            EXPECT_TRUE(std::equal(sample->data.begin(), sample->data.end(), whole->data.begin()))
                << size;
            longestCut = std::max(longestCut, sample->frameCount());
        }
    }
    // The first of the file's two audio pages ends at frame 65024.
    EXPECT_GE(longestCut + 2048, 65024u);
    EXPECT_LE(longestCut, 65024u);
}

TEST(VorbisStreamOpener, ReadsSeeksAndKnowsItsLength) {
    const std::string bytes = testSound(kStereo);
    const auto whole = VorbisDecoder().decode(bytes);
    ASSERT_TRUE(whole);
    testing::TempFolder folder;
    // A name beyond ASCII: Windows must get it through the wide file functions.
    const std::string path = folder.str() + "s\xC3\xB6n \xE2\x98\x83.dat";
    std::ofstream(pathFromUtf8(path), std::ios::binary) << bytes;
    const auto stream = VorbisStreamOpener().openFile(path);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->channels(), 2u);
    EXPECT_EQ(stream->rate(), 44100u);
    EXPECT_EQ(stream->lengthInFrames(), std::optional<std::uint64_t>(22050));
    EXPECT_EQ(readAll(*stream), whole->data);

    struct Seek {
        std::uint64_t frame;
        bool isDone;
        std::size_t framesAfter; // what the next read of 100 frames gives
    };
    const Seek seeks[] = {
        {11025, true, 100}, {22000, true, 50}, {22050, true, 0}, {22051, false, 0}};
    for (const auto& s : seeks) {
        SCOPED_TRACE(s.frame);
        ASSERT_EQ(stream->seek(s.frame), s.isDone);
        std::vector<float> out(200);
        std::size_t got = 0;
        for (std::size_t more = 1; s.isDone && got < 100 && more > 0; got += more) {
            more = stream->read(out.data() + got * 2, 100 - got);
        }
        ASSERT_EQ(got, s.framesAfter);
        for (std::size_t i = 0; i < got * 2; ++i) {
            ASSERT_NEAR(out[i], whole->data[s.frame * 2 + i], 1e-6) << i;
        }
    }
}

TEST(VorbisStreamOpener, ABrokenSetupIsNeverDecodedTwice) {
    // A codebook in the setup header that libvorbis refuses (found by scripts/fuzz ogg): a
    // second attempt at decoding it used the half-built books and divided by zero.
    std::string bytes = testSound(kStereo);
    ASSERT_GT(bytes.size(), 3318u);
    bytes[3318] = static_cast<char>(bytes[3318] ^ 1);
    testing::fixOggChecksums(bytes);
    EXPECT_FALSE(VorbisDecoder().decode(bytes));
    const auto stream = openVorbisMemoryStream(bytes);
    ASSERT_TRUE(stream);
    float out[2 * 64];
    EXPECT_EQ(stream->read(out, 64), 0u);
    EXPECT_FALSE(stream->seek(0));
    EXPECT_FALSE(stream->seek(100));
    EXPECT_EQ(stream->read(out, 64), 0u);
}

} // namespace
} // namespace vendrel
