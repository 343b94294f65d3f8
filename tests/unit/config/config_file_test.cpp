#include "config/config_file.h"

#include <gtest/gtest.h>

#include <tuple>

#include "config/ini_store.h"
#include "fakes/app_fixture.h"

namespace vendrel {
namespace {

class ConfigFileTest : public ::testing::Test, public testing::AppFixture {};

TEST_F(ConfigFileTest, EachValueIsReadByItsRule) {
    // A line of the file read, and the line the next save writes.
    const std::pair<std::string, std::string> cases[] = {
        {"sounds.volume=-3", "sounds.volume=0"},
        {"sounds.volume=7", "sounds.volume=1"},
        {"streams.volume=0", "streams.volume=0.0010000000474975"},
        {"streams.volume=nan", "streams.volume=0.25"}, // not a number: the default, never NaN
        {"style.fontSize=3", "style.fontSize=4"},
        {"style.fontSize=0x7fffffff", "style.fontSize=36"},
        {"style.lbBgColor=0x1000000", "style.lbBgColor=-1"},
        {"style.lbFgColor=-2", "style.lbFgColor=-1"},
        {"style.rtfBgColor=0xFFFFFF", "style.rtfBgColor=16777215"},
        {"sr.rate=-7", "sr.rate=-1"},
        {"servers.default=5", "servers.default=0"},
        {"servers[1].name=x\nservers[1].port=70000", "servers[1].port=65535"},
        {"servers[1].name=x\nservers[1].port=-1", "servers[1].port=0"},
        // A file without log.dir logs into the user folder.
        {"log.on=true", "log.dir=" + escapeIniValue(user.str())},
        {"servers[0].password=not hex", "servers[0].password="},
        // True is 1, true or on in any case; anything else is false.
        {"log.on=On", "log.on=true"},
        {"sounds.disable=1", "sounds.disable=true"},
        {"user.confirmOnExit=yes", "user.confirmOnExit=false"},
        {"sr.rate=1\nsr.rate=2", "sr.rate=2"}, // the last of two
    };
    for (const auto& [file, saved] : cases) {
        writeFile(user, "config.ini", file + "\n");
        loadConfig(state);
        ASSERT_TRUE(saveConfig(state));
        EXPECT_NE(readUserFile("config.ini").find(saved + "\r\n"), std::string::npos) << file;
    }
}

TEST_F(ConfigFileTest, TheBuiltInServerKeepsItsAddressAndTheListEndsAtAGap) {
    writeFile(user, "config.ini",
              "servers[0].name=Fake\nservers[0].host=evil.example\nservers[0].port=1\n"
              "servers[0].tls=true\nservers[1].name=Second\nservers[3].name=Orphan\n");
    loadConfig(state);
    ASSERT_EQ(state.servers.size(), 2u); // servers[3] is unreachable after the gap at 2
    const ServerEntry& builtIn = state.servers[0];
    EXPECT_EQ(std::tie(builtIn.name, builtIn.host, builtIn.port),
              std::make_tuple(u"Vendrel lounge", BuiltInServer::host(), 1321));
    EXPECT_EQ(builtIn.lostPasswordUrl,
              std::string("http://") + BuiltInServer::webHost() + "/en/lostpassword");
    EXPECT_TRUE(builtIn.isTls);                     // it may be reached encrypted like any other
    EXPECT_TRUE(state.servers[1].rememberPassword); // unless the file says otherwise
}

TEST_F(ConfigFileTest, AFileWithEveryKeyIsReadIntoItsSettingsAndWrittenBackTheSame) {
    const std::string file =
        "log.dir=C:\\Users\\\\tom\\logs\\\r\nlog.on=true\r\nservers.default=1\r\n"
        "servers[0].login=ann\r\nservers[0].password=df14b2b5c4\r\n"
        "servers[0].rememberPassword=true\r\nservers[1].host=h\r\n"
        "servers[1].http.basedir=/d/\r\nservers[1].http.host=w\r\nservers[1].login=bob\r\n"
        "servers[1].name=Deuxi\xC3\xA8me\r\nservers[1].password=ce47afe1bd53528d85\r\n"
        "servers[1].port=99\r\nservers[1].protocol=9\r\nservers[1].rememberPassword=true\r\n"
        "servers[1].tls=true\r\nservers[1].tlsReached=true\r\nservers[1].url.createAccount=c\r\n"
        "servers[1].url.lostPassword=l\r\nsounds.device=Speakers (Realtek)\r\n"
        "sounds.disable=true\r\nsounds.volume=0.94999998807907\r\nsr.engine=6\r\n"
        "sr.inflexion=7\r\nsr.language=2\r\nsr.pitch=8\r\nsr.rate=5\r\nsr.subengine=1\r\n"
        "sr.voice=3\r\nsr.volume=4\r\nstreams.disable=true\r\n"
        "streams.volume=0.0010000000474975\r\nstyle.disableHistoryColors=true\r\n"
        "style.disableMenuColors=true\r\nstyle.fontName=Segoe UI\r\nstyle.fontSize=20\r\n"
        "style.lbBgColor=65280\r\nstyle.lbFgColor=0\r\nstyle.rtfBgColor=1193046\r\n"
        "user.allowAutoLinks=true\r\nuser.allowDownloads=false\r\nuser.confirmOnExit=false\r\n"
        "user.language=french\r\nuser.rememberPasswords=false\r\n";
    writeFile(user, "config.ini", file);
    loadConfig(state);
    const ClientSettings& r = state.settings;
    EXPECT_EQ(std::tie(r.srEngine, r.srSubEngine, r.srLanguage, r.srVoice, r.srVolume, r.srRate,
                       r.srPitch, r.srInflexion, r.fontSize, r.lbBgColor, r.lbFgColor),
              std::make_tuple(6, 1, 2, 3, 4, 5, 8, 7, 20, 0x00FF00, 0));
    ASSERT_EQ(state.servers.size(), 2u);
    // Passwords are never stored in clear.
    EXPECT_EQ(std::tie(state.servers[0].password, state.servers[1].name, state.servers[1].password),
              std::make_tuple("ann's", u"Deuxième", "p=ss\nword"));
    ASSERT_TRUE(saveConfig(state));
    EXPECT_EQ(readUserFile("config.ini"), file);
    state.machineKey = machineKeyFromSerial(0xBADBAD); // the file copied to another computer
    loadConfig(state);
    EXPECT_EQ(state.servers[0].login, "ann");
    EXPECT_NE(state.servers[0].password, "ann's");
}

TEST_F(ConfigFileTest, RestoringTheDefaultsDeletesTheIniFilesOnly) {
    writeFile(user, "config.ini", "style.fontSize=30\n");
    writeFile(user, "views0.ini", "x=1\n");
    writeFile(user, "keep.txt", "x=1\n");
    restoreDefaultSettings(state);
    EXPECT_EQ(readUserFile("config.ini"), "<missing>");
    EXPECT_EQ(readUserFile("views0.ini"), "<missing>");
    EXPECT_EQ(readUserFile("keep.txt"), "x=1\n");
}

} // namespace
} // namespace vendrel
