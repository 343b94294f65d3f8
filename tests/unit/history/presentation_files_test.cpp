// The presentation files per server and the presets that replace them, loaded from the
// program's own resource script.

#include "history/presentation_files.h"

#include <gtest/gtest.h>

#include "config/config_file.h"
#include "fakes/app_fixture.h"
#include "fakes/fake_history_ports.h"

namespace vendrel {
namespace {

// RRGGBB as a colour table is written, as the 0x00BBGGRR the pane takes.
constexpr std::uint32_t rgb(std::uint32_t value) {
    return (value & 0xFF) << 16 | (value & 0xFF00) | value >> 16;
}

class PresentationFilesTest : public ::testing::Test, public testing::AppFixture {
protected:
    void SetUp() override {
        testing::loadProgramPresets(platform);
        state.messages.addText("view2=Games\nchannel2=Tables\n");
        resetServers(state);
        state.debugLog.open(user.str() + "debug.txt");
    }
    Presentation& presentation = state.presentation;
};

TEST_F(PresentationFilesTest, AFirstConnectionWritesThePresetsOfTheServersProtocol) {
    const std::string fallbackLines = "No valid view found, fallback to default\r\n"
                                      "No valid presentation found, fallback to default\r\n";
    // Then read back as written, with no fallback the second time.
    for (int connection = 0; connection < 2; ++connection) {
        presentation.views.clear();
        presentation.channels.clear();
        loadServerPresentation(state, 0);
        ASSERT_EQ(presentation.views.size(), 7u);
        EXPECT_EQ(presentation.views[2].mask, 0x33Du);
        ASSERT_EQ(presentation.channels.size(), 10u);
        EXPECT_EQ(presentation.channels[0].flags, 0x1Fu);
        EXPECT_EQ(presentation.channels[7].effects, text_effect::kDefaultColour);
        EXPECT_EQ(presentation.channels[2].colour, rgb(0x000080));
        ASSERT_EQ(presentation.customColours.size(), 15u);
        EXPECT_EQ(presentation.customColours[12], rgb(0x000066));
        EXPECT_EQ(readUserFile("debug.txt"), fallbackLines);
    }
    EXPECT_EQ(presentation.views[2].name, u"Games");
    EXPECT_EQ(presentation.channels[2].name, u"Tables");
    EXPECT_EQ(presentation.published.flags(9), 0x1Fu);
    EXPECT_FALSE(presentation.published.flags(10));
    EXPECT_NE(readUserFile("views0.ini").find("channels1=131\r\n"), std::string::npos);
    EXPECT_NE(readUserFile("channels0.ini").find("color2=8388608\r\n"), std::string::npos);
}

TEST_F(PresentationFilesTest, ADarkWindowColourTakesTheDarkPresets) {
    const std::pair<std::uint32_t, bool> backgrounds[] = {
        {0xFFFFFF, false}, {0x000000, true}, {0x00FF00, true}, {0x01FF00, false}};
    for (const auto& [colour, isDark] : backgrounds) {
        EXPECT_EQ(isDarkBackground(colour), isDark) << std::hex << colour;
    }
    platform.window = 0x202020;
    loadChannels(state, 0);
    EXPECT_EQ(presentation.channels[2].colour, rgb(0xC0C0FF));
    EXPECT_EQ(presentation.customColours[0], rgb(0xFFFFFF));
}

TEST_F(PresentationFilesTest, HandWrittenFilesAreReadWithinBounds) {
    std::string many;
    for (int i = 0; i < 40; ++i) {
        many += "name" + std::to_string(i) + "=" + std::string(i == 0 ? 5000 : 1, 'x') + "\n";
    }
    struct Case {
        std::string views;
        std::string channels;
        std::size_t viewCount, channelCount;
        std::uint32_t firstMask, firstFlags;
    };
    const Case cases[] = {
        // Any number form the store reads; bit 31 of a flag word survives.
        {"name0=Mine\nchannels0=0x83\n", "name0=A\nflags0=4294967295\ncustcol0=1\n", 1, 1, 0x83,
         0xFFFFFFFF},
        // Channels without custom colours: the presets replace the file as a whole.
        {"name0=Mine\nchannels0=010\n", "name0=A\nflags0=1\nname1=B\n", 1, 10, 8, 0x1F},
        // Hostile sizes: at most 32 of each, names cut.
        {many, many + "custcol0=0\n", 32, 32, 0, 0},
    };
    for (const Case& c : cases) {
        writeFile(user, "views0.ini", c.views);
        writeFile(user, "channels0.ini", c.channels);
        loadServerPresentation(state, 0);
        ASSERT_EQ(presentation.views.size(), c.viewCount) << c.views;
        ASSERT_EQ(presentation.channels.size(), c.channelCount) << c.channels;
        EXPECT_EQ(presentation.views[0].mask, c.firstMask);
        EXPECT_EQ(presentation.channels[0].flags, c.firstFlags);
        EXPECT_LE(presentation.views[0].name.size(), 1000u);
    }
}

TEST_F(PresentationFilesTest, AProtocolWithoutPresetsGetsTheBuiltInServersAndCurrentViewStays) {
    state.servers[0].protocol = 0x30000;
    presentation.currentView = 9;
    loadServerPresentation(state, 0);
    EXPECT_EQ(presentation.views.size(), 7u);
    EXPECT_EQ(presentation.channels.size(), 10u);
    EXPECT_EQ(presentation.currentView, 0); // beyond the new list: back to the first view
    presentation.currentView = 3;
    loadDefaultViews(state, 0x20000);
    EXPECT_EQ(presentation.currentView, 3);
}

} // namespace
} // namespace vendrel
