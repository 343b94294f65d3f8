#include "app/start_up.h"

#include <gtest/gtest.h>

#include <map>

#include "app/main_layout.h"
#include "app/worker.h"
#include "fakes/app_fixture.h"

namespace vendrel {
namespace {

using testing::AppFixture;

struct StartUpWorld : AppFixture {
    StartUpWorld() {
        // A user name with non-ASCII characters, as many players have.
        appData = user.str() + "Jérôme Ünïcode";
        std::filesystem::create_directory(pathFromUtf8(appData));
        system.variables = {{"APPDATA", appData},
                            {"PATH", "C:\\Windows"},
                            {"NUMBER_OF_PROCESSORS", "2"},
                            {"PROCESSOR_ARCHITECTURE", "AMD64"}};
        system.programFile = program.str() + "vendrel.exe";
    }

    std::string torv() const { return appData + kPathSeparator + "TORV" + kPathSeparator; }

    std::string appData;
    testing::FakeSystemEnvironment system;
    Worker worker;
};

class StartUpTest : public ::testing::Test, public StartUpWorld {};

TEST_F(StartUpTest, FirstStartCreatesFoldersAndLogsEachStep) {
    ASSERT_TRUE(initEnvironment(state, system, worker));
    EXPECT_EQ(state.folders.program, program.str());
    EXPECT_EQ(state.folders.user, torv());
    EXPECT_TRUE(std::filesystem::is_directory(pathFromUtf8(torv() + "sounds")));
    EXPECT_EQ(state.machineKey.value, 0x12345678u ^ kMachineKeyMask);
    EXPECT_EQ(system.calls.front(), "crash handlers");
    EXPECT_EQ(system.calls.back(), "volume " + appData.substr(0, 3));
    // Keys for the game: Enter, space, letters, digits, the numeric pad and the function keys
    // but F5 to F8 (volumes), F10 (options) and F12 (saving the history).
    for (const int key : {10, 13, 32, 46, 48, 57, 65, 90, 96, 115, 120, 122, 124, 135}) {
        EXPECT_TRUE(state.gameKeys[static_cast<std::size_t>(key)]) << key;
    }
    for (const int key : {0, 47, 58, 64, 91, 95, 116, 119, 121, 123, 136}) {
        EXPECT_FALSE(state.gameKeys[static_cast<std::size_t>(key)]) << key;
    }
    state.debugLog.close();
    const std::string expected =
        "AppDir: " + program.str() + "\r\nUserDir: " + torv() +
        "\r\nPATH: C:\\Windows\r\nProcessors: 2;AMD64\r\nOS version: 10.0.19045 +SP0.0\r\n"
        "Loading config...\r\n"
        "NO language set in the config, fallback to auto-detection: English\r\n"
        "No config found, fallback to default\r\nLoading language...\r\n"
        "Creating worker thread...\r\n";
    EXPECT_EQ(readWholeFile(torv() + "debug.txt").value_or(""), expected);
}

TEST_F(StartUpTest, TemporaryFilesOfInterruptedSavesAreRemoved) {
    std::filesystem::create_directory(pathFromUtf8(torv()));
    const std::map<std::string, bool> isRemoved = {
        {"config.ini.tmp17", true}, {"views2.ini.tmp3", true},  {"channels10.ini.tmp1", true},
        {"config.ini", false},      {"config.ini.tmp", false},  {"config.ini.tmpx", false},
        {"views.ini.tmp1", false},  {"viewsA.ini.tmp1", false}, {"notes.txt.tmp2", false}};
    for (const auto& [name, removed] : isRemoved) {
        std::ofstream(pathFromUtf8(torv() + name)) << "x=1\n";
    }
    ASSERT_TRUE(initEnvironment(state, system, worker));
    for (const auto& [name, removed] : isRemoved) {
        EXPECT_NE(std::filesystem::exists(pathFromUtf8(torv() + name)), removed) << name;
    }
}

TEST(StartUp, FailuresEndStartUpBeforeAnyLog) {
    // The sockets, APPDATA unset or empty, the user folder and the volume query fail in turn.
    for (int failing = 0; failing < 5; ++failing) {
        StartUpWorld world;
        world.system.socketsStart = failing != 0;
        if (failing == 1) {
            world.system.variables.erase("APPDATA");
        } else if (failing == 2) {
            world.system.variables["APPDATA"] = world.appData + "/missing/deeper";
        } else if (failing == 3) {
            world.system.serial.reset();
        } else if (failing == 4) {
            world.system.variables["APPDATA"] = "";
        }
        EXPECT_FALSE(initEnvironment(world.state, world.system, world.worker)) << failing;
        EXPECT_FALSE(world.state.debugLog.isOpen()) << failing;
    }
}

TEST_F(StartUpTest, NoLanguageFileAnywhereFailsAfterSayingSo) {
    std::filesystem::remove(program.path() / "english.lng");
    EXPECT_FALSE(initEnvironment(state, system, worker));
    state.debugLog.close();
    const std::string log = readWholeFile(torv() + "debug.txt").value_or("");
    EXPECT_NE(log.find("Loading language...\r\nFailed to load language file !\r\n"),
              std::string::npos);
    EXPECT_EQ(log.find("Creating worker thread"), std::string::npos);
}

// The version a player reads out to support is the build's own, in the title and the About box.
TEST(StartUp, TitleAndAboutCarryTheVersion) {
    testing::AppFixture fixture;
    fixture.state.messages.addText("winTitle1=Vendrel %d.%d.%d\nabout3=Vendrel\n");
    const std::u16string title = u"Vendrel " VENDREL_VERSION_TEXT;
    EXPECT_EQ(mainWindowTitle(fixture.state), title);
    EXPECT_EQ(aboutText(fixture.state).substr(0, title.size() + 2), title + u"\r\n");
}

} // namespace
} // namespace vendrel
