#include "config/config_file.h"

#include <gtest/gtest.h>

#include <tuple>

#include "config/ini_store.h"
#include "config/password_scramble.h"
#include "fakes/app_fixture.h"

namespace vendrel {
namespace {

using testing::AppFixture;

class ConfigFileTest : public ::testing::Test, public AppFixture {};

TEST_F(ConfigFileTest, MissingConfigKeepsDefaultsAndOnlyTheBuiltInServer) {
    state.debugLog.open(user.str() + "debug.txt");
    loadConfig(state);
    ASSERT_EQ(state.servers.size(), 1u);
    const ServerEntry& builtIn = state.servers[0];
    EXPECT_EQ(builtIn.name, u"Vendrel lounge");
    EXPECT_EQ(builtIn.host, BuiltInServer::host());
    EXPECT_EQ(builtIn.port, 1321);
    EXPECT_EQ(builtIn.protocol, 0x20000);
    EXPECT_EQ(builtIn.webBaseDir, "/autodl/");
    EXPECT_EQ(builtIn.createAccountUrl,
              std::string("http://") + BuiltInServer::webHost() + "/en/register");
    EXPECT_EQ(builtIn.lostPasswordUrl,
              std::string("http://") + BuiltInServer::webHost() + "/en/lostpassword");
    EXPECT_EQ(state.settings.logDir, "");
    EXPECT_FLOAT_EQ(state.settings.streamVolume, 0.25f);
    state.debugLog.close();
    EXPECT_NE(readUserFile("debug.txt").find("No config found, fallback to default\r\n"),
              std::string::npos);
}

TEST_F(ConfigFileTest, ReadsSettingsWithTheirRules) {
    writeFile(user, "config.ini",
              "sounds.volume=0.5\nstreams.disable=true\nsounds.disable=0\nsr.rate=0x10\n"
              "user.language=french\nstyle.fontName=Deja Vu Ümlaut\nservers.default=1\n"
              "user.confirmOnExit=off\nstreams.volume=nan\n");
    loadConfig(state);
    const ClientSettings& s = state.settings;
    EXPECT_FLOAT_EQ(s.soundVolume, 0.5f);
    EXPECT_FLOAT_EQ(s.streamVolume, 0.25f); // not a number: the default, never NaN
    EXPECT_FALSE(s.areStreamsEnabled);
    EXPECT_TRUE(s.areSoundsEnabled);
    EXPECT_EQ(s.srRate, 16);
    EXPECT_EQ(s.srVoice, -1);
    EXPECT_EQ(s.languageName, "french");
    EXPECT_EQ(s.fontName, u"Deja Vu Ümlaut");
    EXPECT_FALSE(s.confirmOnExit);
    EXPECT_EQ(s.logDir, user.str()); // present file without log.dir: the user folder
}

TEST_F(ConfigFileTest, ServerListRules) {
    writeFile(user, "config.ini",
              "servers[0].name=Fake\nservers[0].host=evil.example\nservers[0].port=1\n"
              "servers[0].login=zoe\n"
              "servers[1].name=Second\nservers[1].host=second.example\nservers[1].port=0x50\n"
              "servers[1].protocol=3\nservers[1].http.host=web:8080\n"
              "servers[0].tls=true\nservers[1].tlsReached=true\n"
              "servers[3].name=Orphan\nservers[3].host=orphan.example\n");
    loadConfig(state);
    ASSERT_EQ(state.servers.size(), 2u); // servers[3] is unreachable after the gap at 2
    EXPECT_EQ(state.servers[0].name, u"Vendrel lounge");
    EXPECT_EQ(state.servers[0].host, BuiltInServer::host());
    EXPECT_EQ(state.servers[0].port, 1321);
    EXPECT_EQ(state.servers[0].login, "zoe");
    EXPECT_EQ(state.servers[1].name, u"Second");
    EXPECT_EQ(state.servers[1].port, 80);
    EXPECT_EQ(state.servers[1].protocol, 3);
    EXPECT_EQ(state.servers[1].webHost, "web:8080");
    EXPECT_TRUE(state.servers[1].rememberPassword);
    // Read for the built-in server too: it may be reached encrypted like any other.
    EXPECT_TRUE(state.servers[0].isTls);
    EXPECT_FALSE(state.servers[0].hasReachedTls);
    EXPECT_FALSE(state.servers[1].isTls);
    EXPECT_TRUE(state.servers[1].hasReachedTls);

    ASSERT_TRUE(saveConfig(state));
    const std::string saved = readUserFile("config.ini");
    EXPECT_EQ(saved.find("Orphan"), std::string::npos);
    EXPECT_EQ(saved.find("servers[0].name"), std::string::npos);
    EXPECT_EQ(saved.find("servers[0].host"), std::string::npos);
    EXPECT_LT(saved.find("servers.default="), saved.find("servers[0]."));
}

TEST_F(ConfigFileTest, ValuesAreBroughtIntoTheirRangesWhenRead) {
    struct Case {
        std::string file;
        const char* saved; // the line the next save writes
    };
    const Case cases[] = {
        {"sounds.volume=-3", "sounds.volume=0"},
        {"sounds.volume=7", "sounds.volume=1"},
        {"streams.volume=0", "streams.volume=0.0010000000474975"},
        {"streams.volume=-inf", "streams.volume=0.25"},
        {"style.fontSize=3", "style.fontSize=4"},
        {"style.fontSize=0x7fffffff", "style.fontSize=36"},
        {"style.lbBgColor=0x1000000", "style.lbBgColor=-1"},
        {"style.lbFgColor=-2", "style.lbFgColor=-1"},
        {"style.rtfBgColor=0xFFFFFF", "style.rtfBgColor=16777215"},
        {"sr.rate=-7", "sr.rate=-1"},
        {"sr.engine=-2147483648", "sr.engine=-1"},
        {"sr.volume=100", "sr.volume=100"},
        {"servers.default=5", "servers.default=0"},
        {"servers.default=1\nservers[1].name=x\nservers[1].port=70000", "servers[1].port=65535"},
        {"servers.default=1\nservers[1].name=x\nservers[1].port=-1", "servers.default=1"},
        {std::string("sounds.device=Card\0junk", 23), "sounds.device=Card"},
    };
    for (const auto& c : cases) {
        writeFile(user, "config.ini", c.file + "\n");
        loadConfig(state);
        ASSERT_TRUE(saveConfig(state));
        EXPECT_NE(readUserFile("config.ini").find(std::string(c.saved) + "\r\n"), std::string::npos)
            << c.file;
    }
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
    EXPECT_FLOAT_EQ(r.soundVolume, 0.95f);
    EXPECT_EQ(std::tie(r.srEngine, r.srSubEngine, r.srLanguage, r.srVoice, r.srVolume, r.srRate,
                       r.srPitch, r.srInflexion, r.fontSize, r.lbBgColor, r.lbFgColor),
              std::make_tuple(6, 1, 2, 3, 4, 5, 8, 7, 20, 0x00FF00, 0));
    EXPECT_FALSE(r.areSoundsEnabled);
    EXPECT_FALSE(r.allowDownloads);
    EXPECT_EQ(r.fontName, u"Segoe UI");
    EXPECT_EQ(r.logDir, "C:\\Users\\tom\\logs\\");
    ASSERT_EQ(state.servers.size(), 2u);
    EXPECT_EQ(state.servers[0].password, "ann's"); // never stored in clear
    const ServerEntry& second = state.servers[1];
    EXPECT_EQ(second.name, u"Deuxième");
    EXPECT_EQ(std::tie(second.host, second.webHost, second.login, second.password),
              std::make_tuple("h", "w", "bob", "p=ss\nword"));
    EXPECT_EQ(second.port, 99);
    EXPECT_TRUE(second.hasReachedTls);

    ASSERT_TRUE(saveConfig(state));
    EXPECT_EQ(readUserFile("config.ini"), file);
}

TEST_F(ConfigFileTest, PasswordsFromAnotherMachineDoNotDecode) {
    loadConfig(state);
    state.servers[0].login = "ann";
    state.servers[0].password = "secret";
    ASSERT_TRUE(saveConfig(state));
    state.machineKey = machineKeyFromSerial(0xBADBAD);
    loadConfig(state);
    EXPECT_EQ(state.servers[0].login, "ann");
    EXPECT_NE(state.servers[0].password, "secret");
    writeFile(user, "config.ini", "servers[0].password=not hex\n");
    loadConfig(state);
    EXPECT_EQ(state.servers[0].password, "");
}

TEST_F(ConfigFileTest, RestoreDefaultsDeletesIniFilesAndResetsSettings) {
    writeFile(user, "config.ini", "style.fontSize=30\n");
    writeFile(user, "views0.ini", "x=1\n");
    writeFile(user, "keep.txt", "x=1\n");
    loadConfig(state);
    ASSERT_EQ(state.settings.fontSize, 30);
    restoreDefaultSettings(state);
    EXPECT_EQ(state.settings.fontSize, 14);
    EXPECT_EQ(readUserFile("config.ini"), "<missing>");
    EXPECT_EQ(readUserFile("views0.ini"), "<missing>");
    EXPECT_EQ(readUserFile("keep.txt"), "x=1\n");
    EXPECT_EQ(state.servers.size(), 1u);
}

} // namespace
} // namespace vendrel
