// The client's own option menus: built from the settings and the speech bridge's answers,
// changed by choices and keys, left with the settings saved.

#include "options/option_menus.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/restore_defaults.h"
#include "audio/audio_devices.h"
#include "audio/audio_test_tools.h"
#include "audio/mixer.h"
#include "audio/sound_engine.h"
#include "config/config_file.h"
#include "fakes/app_fixture.h"
#include "fakes/fake_audio_output.h"
#include "fakes/fake_client_ports.h"
#include "fakes/fake_dialog_service.h"
#include "fakes/fake_history_ports.h"
#include "fakes/fake_speech_library.h"
#include "history/presentation_files.h"
#include "menu/menu_fixture.h"
#include "ports/window_controls.h"
#include "speech/speech.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using namespace option_menu;

class RecordingWindowControls final : public WindowControls {
public:
    std::vector<std::string> calls;
    bool applyFont(const std::u16string&, std::int32_t points) override {
        calls.push_back("font " + std::to_string(points));
        return true;
    }
    void setHistoryBackground(std::int32_t) override { calls.push_back("background"); }
    void setAutomaticLinks(bool isOn) override { calls.push_back(isOn ? "links on" : "links off"); }
    void recreateMenuList() override { calls.push_back("recreate"); }
    void redrawMenuList() override { calls.push_back("redraw"); }
    void focusMenuList() override { calls.push_back("focus"); }
};

class OptionMenusTest : public testing::MenuFixture, public testing::AppFixture {
protected:
    OptionMenusTest() {
        testing::loadProgramPresets(platform);
        // The feedback sound of the volume keys.
        std::filesystem::create_directories(user.path() / "sounds");
        writeFile(user, "sounds/menubounds.wav",
                  testing::wavBytes(std::vector<float>(4410, 0.5f), 1, 44100, 16));
        state.messages.addText(
            "yes=yes\nno=no\nback=Back\nautomatic=Auto\naskconfbq=Confirm:\\t\n"
            "soundvolume=Sounds %d%%\nstreamsvolume=Streams %d%%\nscreenreader=Reader: \n"
            "srvolume=Volume: \nsrrate=Rate: \nnotsupported=n/a\ncustomize=Customize\n"
            "addchannel=Add\nchannelname2=Name?\nuseArrows=Use arrows\nname=Name: \n");
        resetServers(state);
        loadServerPresentation(state, 0);
        library.strings = {{speech_id::kEngine, u"JAWS"},
                           {speech_id::kEngine + 1, u"NVDA"},
                           {speech_id::kVoice, u"Anna"},
                           {speech_id::kVoice + 1, u"Bert"}};
        library.parameter(speech_id::kRate, 50, 0, 100);
        EXPECT_TRUE(devices.initAudio());
        controller.setLocalMenus(options);
    }

    std::vector<std::u16string> lines() { return view.lines; }
    std::int32_t frontId() { return controller.currentMenuId(); }
    void choose(std::int32_t index) { controller.activateItem(index); }
    void key(int virtualKey) { controller.forwardKey(virtualKey, {}); }
    void select(std::int32_t index) { controller.currentMenu()->selection = index; }

    testing::FakeAudioOutput output;
    Mixer mixer{kMixRate};
    AudioDevices devices{output, mixer, state.settings, state.debugLog};
    SoundEngine engine{mixer, {.userFolder = user.str(), .extension = ".wav"}};
    testing::FakeSpeechLibrary library;
    Speech speechOutput{state, library};
    testing::RecordingHistory history;
    ModalBoxFlag modalBoxShowing;
    testing::FakeDialogService dialogs{modalBoxShowing};
    testing::FakeSystemDialogs systemDialogs;
    testing::FakeMainWindow mainWindow;
    RecordingWindowControls window;
    OptionMenus options{state,
                        {speechOutput, library, engine, devices, history, dialogs, systemDialogs,
                         mainWindow, window, [this] {
                             restoreDefaults(state, {&speechOutput, &devices, &engine, [this] {
                                                         window.calls.push_back("reapply");
                                                     }});
                         }}};
};

TEST_F(OptionMenusTest, MenusAreBuiltFromTheSettingsAndTheBridge) {
    ASSERT_TRUE(controller.openLocalMenu(kAudio, 0));
    const std::vector<std::u16string> audio = lines();
    ASSERT_EQ(audio.size(), 15u);
    EXPECT_EQ(audio[0], u"soundcardAuto");
    EXPECT_EQ(audio[1], u"Sounds 100%");
    EXPECT_EQ(audio[2], u"Streams 25%");
    EXPECT_EQ(audio[5], u"Reader: Auto");
    EXPECT_EQ(audio[8], u"srvoiceAnna");
    EXPECT_EQ(audio[9], u"Volume: n/a");
    EXPECT_EQ(audio[10], u"Rate: 50%");

    ASSERT_TRUE(controller.openLocalMenu(kSoundCard, 0));
    EXPECT_EQ(lines(), (std::vector<std::u16string>{u"Auto", u"Speakers", u"Headphones", u"Back"}));
    ASSERT_TRUE(controller.openLocalMenu(kEngine, 0));
    EXPECT_EQ(lines(), (std::vector<std::u16string>{u"Auto", u"JAWS", u"NVDA", u"Back"}));
    EXPECT_EQ(selection(), 0);                             // automatic
    EXPECT_FALSE(controller.openLocalMenu(kSubEngine, 0)); // the bridge lists none
    EXPECT_EQ(frontId(), -kEngine);
    for (const std::int32_t nothing : {1017, 1019, 1027, kChannelFirst + 10, kViewFirst + 7}) {
        EXPECT_FALSE(controller.openLocalMenu(nothing, 0)) << nothing;
    }
    // One language file only: no choice to offer; the program's and the user's are both listed.
    EXPECT_FALSE(controller.openLocalMenu(kLanguage, 0));
    writeFile(user, "french.lng", "isocode=fr\nwinTitle2=Vendrel (%s, %s)\n");
    writeFile(user, "english.lng", "isocode=en\n");
    ASSERT_TRUE(controller.openLocalMenu(kLanguage, 0));
    EXPECT_EQ(lines(), (std::vector<std::u16string>{u"english", u"french", u"Back"}));
    choose(1);
    EXPECT_EQ(state.settings.languageName, "french");
    EXPECT_EQ(mainWindow.titles.back(), u"Vendrel (servername, )");
    ASSERT_TRUE(controller.openLocalMenu(kLanguage, 0)); // opens on the language in use
    EXPECT_EQ(selection(), 1);
    state.servers[0].name = std::u16string(600, u'n'); // a hostile name: the title is capped
    choose(1);
    EXPECT_EQ(mainWindow.titles.back().size(), 512u);
}

TEST_F(OptionMenusTest, ChoicesAndKeysChangeTheSettingsAndLeavingSavesThem) {
    ASSERT_TRUE(controller.openLocalMenu(kGeneral, 0));
    choose(0);
    EXPECT_FALSE(state.settings.confirmOnExit);
    EXPECT_EQ(lines()[0], u"Confirm:\tno");
    EXPECT_EQ(sounds.played.back().first, "menuunchecked");
    choose(3); // back
    EXPECT_NE(readUserFile("config.ini").find("user.confirmOnExit=false"), std::string::npos);

    ASSERT_TRUE(controller.openLocalMenu(kAudio, 1));
    const struct {
        std::int32_t line;
        int key;
        std::u16string spoken;
    } steps[] = {{1, kVkRight, u"100%"}, {1, kVkLeft, u"95%"}, {10, kVkRight, u"55%"},
                 {9, kVkRight, u"n/a"},  {14, kVkRight, u""},  {2, kVkLeft, u"20%"}};
    for (const auto& step : steps) {
        select(step.line);
        library.said.clear();
        key(step.key);
        EXPECT_EQ(library.said.empty() ? u"" : library.said.front().first, step.spoken)
            << step.line;
    }
    EXPECT_FLOAT_EQ(state.settings.soundVolume, 0.95f);
    EXPECT_EQ(state.settings.srRate, 55);
    EXPECT_EQ(lines()[2], u"Streams 20%");
    EXPECT_EQ(library.values[speech_id::kVolume], 0); // not supported: untouched
    choose(1);                                        // Enter on a value moved with the arrows
    EXPECT_EQ(history.lines().back(), std::make_pair(std::u16string(u"Use arrows"), 7 | 0x1000000));
    ASSERT_NE(engine.loadSound("menubounds", false), 0u);
    choose(4); // sounds off
    EXPECT_FALSE(state.settings.areSoundsEnabled);
    EXPECT_EQ(engine.loadSound("menubounds", false), 0u);

    // After the font, three colours and 15 custom ones: history colours off, menu colours off.
    ASSERT_TRUE(controller.openLocalMenu(kFontAndColours, 0));
    choose(20);
    EXPECT_FALSE(state.settings.disableHistoryColors);
    ASSERT_TRUE(state.settings.disableMenuColors);
    ASSERT_FALSE(window.calls.empty());
    EXPECT_EQ(window.calls.back(), "recreate"); // the list box is made again without them
}

TEST_F(OptionMenusTest, SpeechListsReturnToRebuiltAudioOptions) {
    ASSERT_TRUE(controller.openLocalMenu(kMain, 0));
    choose(1);
    choose(5);
    ASSERT_EQ(frontId(), -kEngine);
    choose(-1); // Escape
    EXPECT_EQ(frontId(), -kAudio);
    EXPECT_EQ(selection(), 5);
    choose(8);
    choose(1); // the second voice
    EXPECT_EQ(state.settings.srVoice, 1);
    EXPECT_EQ(library.values[speech_id::kVoice], 1);
    EXPECT_EQ(frontId(), -kAudio);
    EXPECT_EQ(selection(), 8);
    EXPECT_EQ(lines()[8], u"srvoiceBert");
    library.jawsFolder = user.str();
    choose(5);
    choose(2); // NVDA
    EXPECT_EQ(state.settings.srEngine, 1);
    EXPECT_EQ(library.values[speech_id::kEngineChosen], 1);
    EXPECT_EQ(readUserFile("torv2.jcf"), "<missing>");
    choose(5);
    choose(1); // JAWS, for which the program writes its settings file
    EXPECT_NE(readUserFile("torv2.jcf"), "<missing>");
}

TEST_F(OptionMenusTest, ChannelsMenuCountsAddsDeletesAndRenames) {
    state.servers[0].protocol = 0x10000; // a server that lets players edit its channels
    state.presentation.channels.resize(30, Channel{0, 0, 0, u"c"});
    ASSERT_TRUE(controller.openLocalMenu(kChannels, 0));
    const std::int32_t add = 31;
    EXPECT_EQ(lines()[add], u"Add");
    dialogs.inputAnswers.push_back({true, u"New\r\nline"});
    choose(add);
    ASSERT_EQ(state.presentation.channels.size(), 31u);
    EXPECT_EQ(state.presentation.channels[30].name, u"New  line");
    EXPECT_EQ(selection(), add);
    EXPECT_EQ(lines()[add], u"Customize: New  line");
    choose(add + 1); // add again: refused at 31
    EXPECT_EQ(state.presentation.channels.size(), 31u);
    EXPECT_EQ(dialogs.shown().back().text, u"noaddchannel");

    select(5);
    key(kVkDelete); // the fifth channel
    EXPECT_EQ(state.presentation.channels.size(), 30u);
    EXPECT_EQ(selection(), 4);
    select(1);
    key(kVkDelete); // channel 0 stays
    EXPECT_EQ(state.presentation.channels.size(), 30u);
    EXPECT_EQ(dialogs.shown().back().text, u"nodelchannel");
    select(32); // the first view stays too
    key(kVkDelete);
    EXPECT_EQ(state.presentation.views.size(), 7u);
    EXPECT_EQ(dialogs.shown().back().text, u"nodelview");

    state.presentation.channels[1].effects = text_effect::kItalic | text_effect::kStrikeout;
    select(2);
    choose(2); // channel 1's own menu
    dialogs.inputAnswers.push_back({true, u"Renamed"});
    choose(0);
    EXPECT_EQ(frontId(), -(kChannelFirst + 1));
    EXPECT_EQ(lines()[0], u"Name: Renamed");
    const std::vector<std::u16string> shown = lines(); // its style is shown checked
    EXPECT_EQ(
        std::vector<std::u16string>(shown.begin() + 5, shown.end() - 1),
        (std::vector<std::u16string>{u"boldno", u"italicyes", u"underlineno", u"strikeoutyes"}));
    choose(9); // back
    EXPECT_EQ(frontId(), -kChannels);
    EXPECT_EQ(selection(), 2);
    EXPECT_EQ(lines()[2], u"Customize: Renamed");
    choose(-1);
    EXPECT_NE(readUserFile("channels0.ini").find("name1=Renamed"), std::string::npos);

    state.servers[0].protocol = 0x20000; // the built-in server sets its own channels
    ASSERT_TRUE(controller.openLocalMenu(kChannels, 0));
    choose(static_cast<std::int32_t>(state.presentation.channels.size()) + 1);
    EXPECT_EQ(state.presentation.channels.size(), 30u);
}

TEST_F(OptionMenusTest, RestoringTheDefaultsAsksFirstAndBringsBackTheCardVolumesAndSpeech) {
    devices.selectAudioDevice(3);
    (void)engine.setSoundsVolume(30, false, false);
    (void)engine.setStreamsVolume(90, false);
    library.values[speech_id::kEngine] = speech_id::kSapiEngine;
    state.presentation.channels.resize(3);
    dialogs.messageAnswers = {7, 6}; // No, then Yes
    ASSERT_TRUE(controller.openLocalMenu(kMain, 0));
    choose(4);
    EXPECT_EQ(window.calls.back(), "focus");
    EXPECT_EQ(library.values[speech_id::kEngine], speech_id::kSapiEngine);
    choose(4);
    EXPECT_EQ(window.calls.back(), "reapply");
    EXPECT_EQ(output.currentDevice(), 1);
    EXPECT_FLOAT_EQ(engine.soundsVolume(), 1.0f);
    EXPECT_FLOAT_EQ(engine.streamsVolume(), 0.25f);
    // Silently: the volumes come back without the volume keys' feedback sound.
    EXPECT_EQ(testing::channelRms(output.pull(4410), 0, 0, 4410), 0.0);
    EXPECT_EQ(library.values[speech_id::kEngine], -1);
    EXPECT_EQ(state.presentation.channels.size(), 10u);
    EXPECT_EQ(state.presentation.views.size(), 7u);
}

} // namespace
} // namespace vendrel
