#include "vorbis_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "audio/audio_test_tools.h"
#include "codecs/ogg_test_tools.h"
#include "fakes/temp_folder.h"

namespace vendrel {
namespace {

using testing::testSound;

const char* const kMono = "sine440_mono_8000.ogg";
const char* const kStereo = "sine440_1000_stereo_44100.ogg";
const char* const kThreeChannels = "three_channels_8000.ogg";
const char* const kSixChannels = "six_channels_8000.ogg";
const char* const kNineChannels = "nine_channels_8000.ogg";

bool isWithinFullScale(const Sample& sample) {
    for (float value : sample.data) {
        if (!(value >= -1.0f && value <= 1.0f)) {
            return false;
        }
    }
    return true;
}

TEST(VorbisDecoder, DecodesTonesWithTheirRateChannelsAndLevel) {
    struct Tone {
        std::uint32_t channel;
        double hertz;
    };
    struct Case {
        const char* file;
        std::uint32_t channels;
        std::uint32_t rate;
        std::size_t frames;
        std::vector<Tone> tones;
    };
    const Case cases[] = {
        {kMono, 1, 8000, 80000, {{0, 440.0}}},
        {kStereo, 2, 44100, 22050, {{0, 440.0}, {1, 1000.0}}},
    };
    for (const auto& c : cases) {
        const std::string bytes = testSound(c.file);
        ASSERT_FALSE(bytes.empty()) << c.file;
        EXPECT_TRUE(VorbisDecoder().canDecode(bytes));
        const auto sample = VorbisDecoder().decode(bytes);
        ASSERT_TRUE(sample) << c.file;
        EXPECT_EQ(sample->channels, c.channels) << c.file;
        EXPECT_EQ(sample->rate, c.rate) << c.file;
        EXPECT_EQ(sample->frameCount(), c.frames) << c.file;
        EXPECT_EQ(sample->data.size(), c.frames * c.channels) << c.file;
        for (const auto& tone : c.tones) {
            // SoX wrote sines of amplitude 0.5, each a whole number of periods long, so the
            // amplitude at that frequency is near 0.5 only at the right pitch in the right place.
            EXPECT_NEAR(testing::amplitudeAt(sample->data, c.channels, tone.channel, c.rate,
                                             tone.hertz, 0, c.frames),
                        0.5, 0.02)
                << c.file << " channel " << tone.channel;
        }
    }
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
        {"magic only", "OggS", true},
        {"a WAV file", testing::wavBytes({0.5f, -0.5f}, 1, 8000, 16), false},
        {"nine channels, no speaker order", testSound(kNineChannels), true},
        {"headers only", mono.substr(0, testing::oggPages(mono)[2].at), true},
        {"no first page", mono.substr(testing::oggPages(mono)[1].at), true},
        {"garbage after the magic", "OggS" + std::string(5000, '\x5a'), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VorbisDecoder().canDecode(c.bytes), c.looksLikeOgg) << c.what;
        EXPECT_FALSE(VorbisDecoder().decode(c.bytes)) << c.what;
        // A stream may open on headers alone, but it holds no sound.
        if (const auto stream = openVorbisMemoryStream(c.bytes)) {
            float out[64];
            EXPECT_EQ(stream->read(out, 32), 0u) << c.what;
        }
    }
}

TEST(VorbisDecoder, MixesSurroundFilesDownToStereoSpeakerBySpeaker) {
    // Each source channel carries its own tone (amplitude 0.5), so what reached each side shows.
    struct Tone {
        double hertz;
        double left;
        double right;
    };
    struct Case {
        const char* file;
        std::vector<Tone> tones;
    };
    // Left of 3.0 sums 1 + 0.707 of gain; left of 5.1 sums 1 + 0.707 + 0.707.
    const double three = 0.5 / (1.0 + std::sqrt(0.5));
    const double six = 0.5 / (1.0 + 2.0 * std::sqrt(0.5));
    const Case cases[] = {
        {kThreeChannels,
         {{300, three, 0}, {500, three * std::sqrt(0.5), three * std::sqrt(0.5)}, {700, 0, three}}},
        {kSixChannels,
         {{300, six, 0},                                     // front left
          {500, six * std::sqrt(0.5), six * std::sqrt(0.5)}, // centre
          {700, 0, six},                                     // front right
          {900, six * std::sqrt(0.5), 0},                    // back left
          {1100, 0, six * std::sqrt(0.5)},                   // back right
          {1300, 0, 0}}},                                    // low frequency, dropped
    };
    for (const auto& c : cases) {
        const std::string bytes = testSound(c.file);
        const auto sample = VorbisDecoder().decode(bytes);
        ASSERT_TRUE(sample) << c.file;
        EXPECT_EQ(sample->channels, 2u) << c.file;
        EXPECT_EQ(sample->rate, 8000u) << c.file;
        EXPECT_EQ(sample->frameCount(), 4000u) << c.file;
        EXPECT_TRUE(isWithinFullScale(*sample)) << c.file;
        // 0.3 s in the middle: a whole number of periods of every tone.
        for (const auto& tone : c.tones) {
            EXPECT_NEAR(testing::amplitudeAt(sample->data, 2, 0, 8000, tone.hertz, 800, 2400),
                        tone.left, 0.02)
                << c.file << " " << tone.hertz << " Hz left";
            EXPECT_NEAR(testing::amplitudeAt(sample->data, 2, 1, 8000, tone.hertz, 800, 2400),
                        tone.right, 0.02)
                << c.file << " " << tone.hertz << " Hz right";
        }
        // The stream gives the same mix.
        const auto stream = openVorbisMemoryStream(bytes);
        ASSERT_TRUE(stream) << c.file;
        EXPECT_EQ(stream->channels(), 2u) << c.file;
        std::vector<float> out(sample->data.size() + 64);
        std::size_t frames = 0;
        while (const std::size_t got = stream->read(out.data() + frames * 2, 100)) {
            frames += got;
        }
        out.resize(frames * 2);
        EXPECT_EQ(out, sample->data) << c.file;
    }
}

TEST(VorbisDecoder, HostileIdentificationHeadersAreDeclined) {
    const std::string mono = testSound(kMono);
    struct Case {
        const char* what;
        std::uint32_t channels;
        std::uint32_t rate;
    };
    const Case cases[] = {
        {"zero channels", 0, 8000},    {"nine channels", 9, 8000},
        {"255 channels", 255, 8000},   {"rate 0", 1, 0},
        {"rate below 1000", 1, 999},   {"rate above 384 kHz", 1, 384001},
        {"rate 2^31", 1, 0x80000000u}, {"rate 2^32 - 1", 1, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        const std::string bytes = testing::withHeaderFields(mono, c.channels, c.rate);
        EXPECT_FALSE(VorbisDecoder().decode(bytes)) << c.what;
        EXPECT_FALSE(openVorbisMemoryStream(bytes)) << c.what;
    }
    // The limits themselves are taken.
    for (const std::uint32_t rate : {kMinSampleRate, kMaxSampleRate}) {
        const auto sample = VorbisDecoder().decode(testing::withHeaderFields(mono, 1, rate));
        ASSERT_TRUE(sample) << rate;
        EXPECT_EQ(sample->rate, rate);
    }
    // A channel count that disagrees with the rest of the file may decode to anything, but
    // within full scale and no longer than the file allows.
    for (const std::uint32_t channels : {2u, 3u, 8u}) {
        const std::string bytes = testing::withHeaderFields(mono, channels, 8000);
        if (const auto sample = VorbisDecoder().decode(bytes)) {
            EXPECT_TRUE(isWithinFullScale(*sample)) << channels;
            EXPECT_LE(sample->frameCount(), 80000u) << channels;
        }
    }
}

TEST(VorbisDecoder, ChainedFilesPlayOnWhileTheFormatStays) {
    const std::string mono = testSound(kMono);
    const std::string stereo = testSound(kStereo);
    struct Case {
        const char* what;
        std::string bytes;
        std::uint32_t channels;
        std::size_t frames;
    };
    const Case cases[] = {
        {"mono then mono", mono + testing::withSerial(mono, 77), 1, 160000},
        // The stereo link would be read as mono at the wrong rate: the sound ends before it.
        {"mono then stereo", mono + stereo, 1, 80000},
        {"stereo then mono", stereo + mono, 2, 22050},
    };
    for (const auto& c : cases) {
        const auto sample = VorbisDecoder().decode(c.bytes);
        ASSERT_TRUE(sample) << c.what;
        EXPECT_EQ(sample->channels, c.channels) << c.what;
        EXPECT_EQ(sample->frameCount(), c.frames) << c.what;
        const auto stream = openVorbisMemoryStream(c.bytes);
        ASSERT_TRUE(stream) << c.what;
        EXPECT_EQ(stream->lengthInFrames(), c.frames) << c.what;
        std::vector<float> out(c.frames * c.channels + 1000);
        std::size_t frames = 0;
        while (const std::size_t got = stream->read(out.data() + frames * c.channels, 1000)) {
            frames += got;
        }
        EXPECT_EQ(frames, c.frames) << c.what;
    }
}

TEST(VorbisDecoder, LengthsBeyondTheLimitAreRefusedAnnouncedOrNot) {
    const std::string mono = testSound(kMono); // 80000 frames
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
        const auto sample = VorbisDecoder(c.maxValues).decode(c.bytes);
        EXPECT_EQ(sample.has_value(), c.isDecoded) << c.what;
        if (sample) {
            EXPECT_LE(sample->data.size(), c.maxValues) << c.what;
        }
    }
}

// What a cut or damaged file may give: nothing, or sound that is in range and no longer
// than the whole file's.
void expectCleanEnd(const std::string& bytes, std::size_t wholeFrames, const std::string& what) {
    const auto sample = VorbisDecoder().decode(bytes);
    if (sample) {
        EXPECT_LE(sample->frameCount(), wholeFrames * 2) << what;
        EXPECT_TRUE(isWithinFullScale(*sample)) << what;
    }
    if (auto stream = openVorbisMemoryStream(bytes)) {
        std::vector<float> out(512 * 2);
        std::size_t frames = 0;
        while (const std::size_t got = stream->read(out.data(), 512)) {
            frames += got;
            ASSERT_LE(frames, wholeFrames * 2) << what;
        }
        EXPECT_EQ(stream->read(out.data(), 512), 0u) << what;
    }
}

TEST(VorbisDecoder, CutFilesKeepTheSoundBeforeTheCut) {
    struct Case {
        const char* file;
        std::size_t longestCutFrames; // the first of its two audio pages; the stereo has one
    };
    const Case cases[] = {{kMono, 65024}, {kStereo, 0}};
    for (const auto& c : cases) {
        const std::string bytes = testSound(c.file);
        const auto whole = VorbisDecoder().decode(bytes);
        ASSERT_TRUE(whole);
        std::size_t longestCut = 0;
        for (std::size_t size = 0; size < bytes.size(); size += 97) {
            const std::string cut = bytes.substr(0, size);
            const std::string what = std::string(c.file) + " cut at " + std::to_string(size);
            expectCleanEnd(cut, whole->frameCount(), what);
            const auto sample = VorbisDecoder().decode(cut);
            if (!sample) {
                continue;
            }
            // What came before the cut decodes as it did in the whole file.
            ASSERT_LE(sample->data.size(), whole->data.size()) << what;
            EXPECT_TRUE(std::equal(sample->data.begin(), sample->data.end(), whole->data.begin()))
                << what;
            longestCut = std::max(longestCut, sample->frameCount());
        }
        EXPECT_GE(longestCut + 2048, c.longestCutFrames) << c.file;
        EXPECT_LE(longestCut, c.longestCutFrames) << c.file;
    }
}

TEST(VorbisDecoder, DamagedFilesEndCleanly) {
    std::mt19937 random(20261207);
    for (const char* file : {kMono, kStereo}) {
        const std::string bytes = testSound(file);
        const auto pages = testing::oggPages(bytes);
        ASSERT_GE(pages.size(), 3u);
        const std::size_t wholeFrames = VorbisDecoder().decode(bytes)->frameCount();
        for (int round = 0; round < 300; ++round) {
            std::string damaged = bytes;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < flips; ++i) {
                const std::size_t at = random() % damaged.size();
                damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
            }
            // Half the rounds carry valid checksums, so the damage reaches the decoder itself.
            if (round % 2 == 0) {
                testing::fixOggChecksums(damaged);
            }
            expectCleanEnd(damaged, wholeFrames,
                           std::string(file) + " round " + std::to_string(round));
        }
    }
}

TEST(VorbisStreamOpener, ReadsSeeksAndKnowsItsLength) {
    const std::string bytes = testSound(kStereo);
    const auto whole = VorbisDecoder().decode(bytes);
    ASSERT_TRUE(whole);
    testing::TempFolder folder;
    // A name beyond ASCII: Windows must get it through the wide file functions.
    const std::string path = folder.str() + "s\xC3\xB6n \xE2\x98\x83.dat";
    {
        std::ofstream out(pathFromUtf8(path), std::ios::binary);
        out << bytes;
    }
    VorbisStreamOpener opener;
    const auto stream = opener.openFile(path);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->channels(), 2u);
    EXPECT_EQ(stream->rate(), 44100u);
    EXPECT_EQ(stream->lengthInFrames(), std::optional<std::uint64_t>(22050));

    std::vector<float> out;
    std::vector<float> chunk(2 * 777);
    while (const std::size_t got = stream->read(chunk.data(), 777)) {
        out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got * 2));
    }
    EXPECT_EQ(out, whole->data);

    struct Seek {
        std::uint64_t frame;
        bool isDone;
        std::size_t framesAfter; // what the next read of 100 frames gives
    };
    const Seek seeks[] = {
        {11025, true, 100}, {0, true, 100},    {22000, true, 50},
        {22050, true, 0},   {22051, false, 0}, {1, true, 100},
    };
    for (const auto& s : seeks) {
        ASSERT_EQ(stream->seek(s.frame), s.isDone) << s.frame;
        if (!s.isDone) {
            continue;
        }
        std::size_t got = 0;
        while (got < 100) {
            const std::size_t more = stream->read(chunk.data() + got * 2, 100 - got);
            if (more == 0) {
                break;
            }
            got += more;
        }
        ASSERT_EQ(got, s.framesAfter) << s.frame;
        for (std::size_t i = 0; i < got * 2; ++i) {
            ASSERT_NEAR(chunk[i], whole->data[s.frame * 2 + i], 1e-6) << s.frame << " #" << i;
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

TEST(VorbisStreamOpener, AnswersOnlyForOggVorbisFiles) {
    testing::TempFolder folder;
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream out(pathFromUtf8(folder.str() + name), std::ios::binary);
        out << bytes;
        return folder.str() + name;
    };
    VorbisStreamOpener opener;
    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"missing", folder.str() + "missing.ogg"},
        {"a folder", folder.str()},
        {"a WAV named .ogg", write("wave.ogg", testing::wavBytes({0.5f}, 1, 8000, 16))},
        {"empty", write("empty.ogg", "")},
        {"nine channels", write("nine.ogg", testSound(kNineChannels))},
        {"cut in the headers", write("cut.ogg", testSound(kMono).substr(0, 200))},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(opener.openFile(c.path)) << c.what;
    }
    // Web streams belong to another opener, whatever they carry.
    EXPECT_FALSE(opener.openUrl("file://" + testing::testSoundPath(kMono)));
    EXPECT_FALSE(opener.openUrl("http://localhost/sound.ogg"));
}

} // namespace
} // namespace vendrel
