// The history's rules: what is spoken and shown per channel, the review, views, links,
// copying, saving and the daily log.

#include "history/history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/daily_log.h"
#include "config/config_file.h"
#include "fakes/app_fixture.h"
#include "fakes/fake_client_ports.h"
#include "fakes/fake_history_ports.h"
#include "fakes/fake_menu_ports.h"
#include "history/history_line.h"
#include "history/presentation_files.h"
#include "resource.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using Said = std::vector<std::pair<std::u16string, bool>>;

class HistoryTest : public ::testing::Test, public testing::AppFixture {
protected:
    void SetUp() override {
        testing::loadProgramPresets(platform);
        state.messages.addText("disabled=Off\nenabled=On\ncopied=Copied\nhistoryLineCut= [%d]\n"
                               "error=Error\nerrorsavehistory=Cannot save %s\nview0=All\n"
                               "view1=Chat\nview6=Last\ntxtFileType=Text\nrtfFileType=Rich\n"
                               "errorlogcreation=Cannot create %s\n");
        resetServers(state);
        loadDefaultChannels(state, 0x20000, false);
        loadDefaultViews(state, 0x20000);
    }
    // Adds lines on the channels given and forgets what that said.
    void addLines(std::initializer_list<std::int32_t> channels) {
        for (const std::int32_t channel : channels) {
            history.add(u"line " + toWide(std::to_string(channel)), channel);
        }
        speech.said.clear();
    }

    testing::FakeHistoryPane pane;
    testing::RecordingSpeech speech;
    testing::RecordingShell shell;
    testing::FakeSystemDialogs dialogs;
    bool isForeground = true;
    History history{state, {pane, speech, shell, dialogs, [this] {
                                return isForeground;
                            }}};
};

TEST_F(HistoryTest, EachChannelSaysWhenALineIsSpokenAndShown) {
    state.presentation.channels[5].flags = channel_flag::kHidden | channel_flag::kSpeakInForeground;
    state.settings.logDir = user.str();
    ASSERT_TRUE(openDailyLog(state));
    struct Case {
        std::int32_t word;
        bool isForeground, isMuted;
        std::optional<bool> spokenInterrupting; // nothing: not spoken
        bool isShown;
    };
    const Case cases[] = {
        {1, true, false, false, true}, // flags 9: spoken in the foreground only
        {1, false, false, std::nullopt, true},
        {1 | kInterruptRequest, true, false, true, true},
        {7, false, false, false, true}, // flags 0x13: spoken in the background too
        {0, true, false, true, true},   // flags 0x1F: interrupts
        {5, true, false, false, false}, // hidden: spoken only
        {1, true, true, std::nullopt, true},
        {12 + 32, true, false, true, true}, // beyond the table: channel 0's presentation
    };
    for (const Case& c : cases) {
        speech.said.clear();
        pane.lines.clear();
        isForeground = c.isForeground;
        if (history.isReadingMuted() != c.isMuted) {
            history.toggleReading();
            speech.said.clear();
        }
        history.add(u"\f\x11Hi\fthere", c.word);
        const Said expected =
            c.spokenInterrupting ? Said{{u"Hithere", *c.spokenInterrupting}} : Said{};
        EXPECT_EQ(speech.said, expected) << c.word;
        EXPECT_EQ(pane.lines.size(), c.isShown ? 1u : 0u) << c.word;
    }
    EXPECT_EQ(pane.text(), u"\r\nHithere"); // the last line, on channel 0's look
    EXPECT_EQ(pane.lines[0][0].colour, state.presentation.channels[0].colour);
    EXPECT_EQ(history.entries().size(), 7u);
    EXPECT_EQ(history.entries().back().channel, 12);
    state.dailyLog.close();
    const std::string log = readUserFile("2026-12-07.log");
    EXPECT_EQ(log.substr(0, 41), "Log started on 07.12.2026 09:05:03\r\n\x0C\x11Hi\x0C");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 8); // the hidden line is not logged
}

TEST_F(HistoryTest, AnUnknownChannelSoundsATone) {
    testing::FakeGuiThread gui;
    HistoryRoute route(state, history, gui, shell);
    route.historyAdd(u"a", 9);
    route.historyAdd(u"b", 10 | kInterruptRequest);
    EXPECT_EQ(shell.events, std::vector<std::string>{"tone 800 150"});
    EXPECT_EQ(history.entries().size(), 2u);
}

TEST_F(HistoryTest, LongLinesAreShownCutAndKeptWhole) {
    const std::u16string line(20000, u'x');
    history.add(line, 2);
    ASSERT_EQ(pane.lines[0].size(), 2u);
    EXPECT_EQ(pane.lines[0][0].text.size(), kMaxShownLineLength);
    EXPECT_EQ(pane.lines[0][1].text, u" [3616]");
    EXPECT_EQ(history.entries()[0].text, line);
}

TEST_F(HistoryTest, ReviewWalksTheVisibleEntriesAndStopsAtTheEnds) {
    history.review(-1); // an empty history says nothing
    EXPECT_TRUE(speech.said.empty());
    state.presentation.currentView = 1; // channels 0, 1 and 7
    addLines({1, 2, 7, 3, 0});
    const std::tuple<std::int32_t, std::int32_t, std::u16string> steps[] = {
        {-1, 4, u"line 0"}, {-1, 2, u"line 7"}, {-1, 0, u"line 1"},         {-1, 0, u"line 1"},
        {0, 0, u"line 1"},  {1, 2, u"line 7"},  {1000000000, 4, u"line 0"}, {1, 4, u"line 0"}};
    for (const auto& [count, position, spoken] : steps) {
        speech.said.clear();
        history.review(count);
        EXPECT_EQ(history.reviewPosition(), position) << count;
        EXPECT_EQ(speech.said, (Said{{spoken, true}})) << count;
    }
    EXPECT_EQ(speech.brailled.back(), u"line 0");
    history.clear();
    EXPECT_EQ(history.reviewPosition(), -1);
    EXPECT_TRUE(pane.lines.empty());
}

TEST_F(HistoryTest, LinksOpenInSchemeOrderAndOnlyOnTheWebHostWithoutAutomaticLinks) {
    struct Case {
        std::u16string text;
        bool allowAutoLinks;
        std::string opened; // empty: a beep
    };
    const Case cases[] = {
        {u"see https://a.example/x then http://b.example/y", true, "http://b.example/y"},
        {u"http://a.example/path(1) more", true, "http://a.example/path"},
        {u"call skype://joe?call", true, "skype:joe?call"},
        {u"no link here", true, ""},
        {u"http://localhost:1380/page:x", false, "http://localhost:1380/page"},
        {u"http://elsewhere.example/", false, ""},
        {u"http://evil.example/http://localhost:1380/", false, ""},
    };
    for (const Case& c : cases) {
        shell.events.clear();
        state.settings.allowAutoLinks = c.allowAutoLinks;
        history.openLinkInText(c.text);
        EXPECT_EQ(shell.events,
                  std::vector<std::string>{c.opened.empty() ? "beep" : "link " + c.opened})
            << toNarrow(c.text);
    }
}

TEST_F(HistoryTest, ViewCommandsMoveWithinTheListAndSayTheViewsName) {
    const std::tuple<std::int32_t, std::int32_t, std::vector<std::string>> steps[] = {
        {IDM_PREVIOUS_VIEW, 0, {"beep"}},
        {IDM_NEXT_VIEW, 1, {}},
        {IDM_VIEW_FIRST + 6, 6, {}},
        {IDM_NEXT_VIEW, 6, {"beep"}},
        {IDM_VIEW_FIRST + 9, 6, {"beep"}}};
    for (const auto& [id, view, events] : steps) {
        shell.events.clear();
        speech.said.clear();
        EXPECT_TRUE(history.runCommand(id));
        EXPECT_EQ(state.presentation.currentView, view);
        EXPECT_EQ(shell.events, events);
        EXPECT_EQ(speech.said, (Said{{view == 0 ? u"All" : view == 1 ? u"Chat" : u"Last", true}}));
    }
    EXPECT_FALSE(history.runCommand(IDM_ABOUT));
}

TEST_F(HistoryTest, CopyingTakesTheCurrentViewOrTheReviewedLine) {
    history.runCommand(IDM_COPY_REVIEW_LINE); // nothing reviewed yet
    EXPECT_EQ(shell.events, std::vector<std::string>{"beep"});
    state.presentation.currentView = 3; // channels 3, 8 and 9
    addLines({3, 1, 9});
    history.add(u"\x11marked", 8);
    history.runCommand(IDM_COPY_VIEW);
    EXPECT_EQ(shell.clipboard, u"line 3\r\nline 9\r\n\x11marked\r\n");
    history.review(-2);
    history.runCommand(IDM_COPY_REVIEW_LINE);
    EXPECT_EQ(shell.clipboard, u"line 9");
    EXPECT_EQ(speech.said.back(), std::make_pair(std::u16string(u"Copied"), true));
}

TEST_F(HistoryTest, SavingWritesTheViewInTheTypeChosen) {
    addLines({3, 1, 9});
    history.add(u"two\nlines", 2);
    struct Case {
        std::int32_t view;
        std::int32_t command;
        std::size_t type, typesOffered;
        std::string content;
    };
    const Case cases[] = {
        {2, IDM_SAVE_VIEW, 0, 1, "line 3\r\nline 9\r\ntwo\r\nlines\r\n"},
        {2, IDM_SAVE_HISTORY, 0, 2, "\r\nline 3\r\nline 1\r\nline 9\r\ntwo\r\nlines\r\n"},
        {0, IDM_SAVE_VIEW, 1, 2, "{\\rtf1 pane}\r\n"},
    };
    for (const Case& c : cases) {
        state.presentation.currentView = c.view;
        dialogs.answer = SaveFileChoice{user.str() + "saved.txt", c.type};
        history.runCommand(c.command);
        EXPECT_EQ(dialogs.offered.back().size(), c.typesOffered);
        EXPECT_EQ(readUserFile("saved.txt"), c.content);
        EXPECT_EQ(state.presentation.currentView, c.view);
    }
    // A file that cannot be written is told, never dropped in silence.
    dialogs.answer = SaveFileChoice{user.str() + "missing/folder/saved.txt", 0};
    history.runCommand(IDM_SAVE_VIEW);
    ASSERT_EQ(shell.errors.size(), 1u);
    EXPECT_NE(shell.errors[0].find(u"Cannot save"), std::u16string::npos);
    EXPECT_EQ(speech.said.back().first.substr(0, 11), u"Cannot save");
}

TEST_F(HistoryTest, TheDailyLogOpensInTheUserFolderOrReportsItsFolder) {
    state.settings.logDir.clear();
    ASSERT_TRUE(openDailyLog(state));
    EXPECT_EQ(state.settings.logDir, user.str());
    ASSERT_TRUE(openDailyLog(state)); // a second start of the same day appends
    state.dailyLog.close();
    EXPECT_EQ(readUserFile("2026-12-07.log"), "Log started on 07.12.2026 09:05:03\r\n"
                                              "Log started on 07.12.2026 09:05:03\r\n");
    state.settings.logDir = user.str() + "absent";
    EXPECT_FALSE(openDailyLog(state));
    EXPECT_FALSE(std::filesystem::exists(user.path() / "absent"));
    ASSERT_EQ(platform.errors.size(), 1u);
    EXPECT_NE(platform.errors[0].find(u"absent"), std::u16string::npos);
}

} // namespace
} // namespace vendrel
