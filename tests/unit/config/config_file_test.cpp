#include "config/config_file.h"

#include <gtest/gtest.h>

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

TEST_F(ConfigFileTest, OutOfRangeDefaultServerSelectsTheBuiltInOne) {
    for (const char* value : {"5", "-1", "2147483647"}) {
        writeFile(user, "config.ini", std::string("servers.default=") + value + "\n");
        loadConfig(state);
        EXPECT_EQ(defaultServerIndex(state.settings, state.servers), 0u) << value;
    }
}

TEST_F(ConfigFileTest, SaveAndLoadRoundTripEverySetting) {
    loadConfig(state);
    ClientSettings& s = state.settings;
    s.soundVolume = 0.95f;
    s.streamVolume = 0.001f;
    s.srEngine = 6;
    s.srSubEngine = 1;
    s.srLanguage = 2;
    s.srVoice = 3;
    s.srVolume = 4;
    s.srRate = 5;
    s.srPitch = 6;
    s.srInflexion = 7;
    s.defaultServer = 1;
    s.fontSize = 20;
    s.lbBgColor = 0x00FF00;
    s.lbFgColor = 0;
    s.rtfBgColor = 0x123456;
    s.isDailyLogOn = true;
    s.rememberPasswords = false;
    s.confirmOnExit = false;
    s.areStreamsEnabled = false;
    s.areSoundsEnabled = false;
    s.allowAutoLinks = true;
    s.allowDownloads = false;
    s.disableHistoryColors = true;
    s.disableMenuColors = true;
    s.languageName = "french";
    s.soundDevice = "Speakers (Realtek)";
    s.fontName = u"Segoe UI";
    s.logDir = "C:\\Users\\tom\\logs\\";
    ServerEntry second;
    second.name = u"Deuxième";
    second.host = "h";
    second.webHost = "w";
    second.webBaseDir = "/d/";
    second.createAccountUrl = "c";
    second.lostPasswordUrl = "l";
    second.protocol = 9;
    second.port = 99;
    second.login = "bob";
    second.password = "p=ss\nword";
    second.isTls = true;
    second.hasReachedTls = true;
    state.servers.push_back(second);
    state.servers[0].login = "ann";
    state.servers[0].password = "ann's";
    ASSERT_TRUE(saveConfig(state));
    const std::string firstSave = readUserFile("config.ini");

    const ClientSettings saved = s;
    const ServerList savedServers = state.servers;
    state.settings = ClientSettings();
    state.servers.clear();
    loadConfig(state);
    const ClientSettings& r = state.settings;
    EXPECT_FLOAT_EQ(r.soundVolume, saved.soundVolume);
    EXPECT_FLOAT_EQ(r.streamVolume, saved.streamVolume);
    EXPECT_EQ(std::tie(r.srEngine, r.srSubEngine, r.srLanguage, r.srVoice, r.srVolume, r.srRate,
                       r.srPitch, r.srInflexion, r.defaultServer, r.fontSize, r.lbBgColor,
                       r.lbFgColor, r.rtfBgColor),
              std::tie(saved.srEngine, saved.srSubEngine, saved.srLanguage, saved.srVoice,
                       saved.srVolume, saved.srRate, saved.srPitch, saved.srInflexion,
                       saved.defaultServer, saved.fontSize, saved.lbBgColor, saved.lbFgColor,
                       saved.rtfBgColor));
    EXPECT_EQ(std::tie(r.isDailyLogOn, r.rememberPasswords, r.confirmOnExit, r.areStreamsEnabled,
                       r.areSoundsEnabled, r.allowAutoLinks, r.allowDownloads,
                       r.disableHistoryColors, r.disableMenuColors),
              std::tie(saved.isDailyLogOn, saved.rememberPasswords, saved.confirmOnExit,
                       saved.areStreamsEnabled, saved.areSoundsEnabled, saved.allowAutoLinks,
                       saved.allowDownloads, saved.disableHistoryColors, saved.disableMenuColors));
    EXPECT_EQ(r.languageName, saved.languageName);
    EXPECT_EQ(r.soundDevice, saved.soundDevice);
    EXPECT_EQ(r.fontName, saved.fontName);
    EXPECT_EQ(r.logDir, saved.logDir);
    ASSERT_EQ(state.servers.size(), 2u);
    const ServerEntry& back = state.servers[1];
    EXPECT_EQ(back.name, second.name);
    EXPECT_EQ(std::tie(back.host, back.webHost, back.webBaseDir, back.createAccountUrl,
                       back.lostPasswordUrl, back.login, back.password),
              std::tie(second.host, second.webHost, second.webBaseDir, second.createAccountUrl,
                       second.lostPasswordUrl, second.login, second.password));
    EXPECT_EQ(back.protocol, 9);
    EXPECT_EQ(back.port, 99);
    EXPECT_TRUE(back.isTls);
    EXPECT_TRUE(back.hasReachedTls);
    EXPECT_FALSE(state.servers[0].isTls);
    EXPECT_EQ(state.servers[0].password, "ann's");
    EXPECT_EQ(firstSave.find("ann's"), std::string::npos); // never stored in clear

    ASSERT_TRUE(saveConfig(state));
    EXPECT_EQ(readUserFile("config.ini"), firstSave); // saving twice gives the same file
}

TEST_F(ConfigFileTest, EveryKeyIsWrittenInByteWiseOrder) {
    loadConfig(state);
    ASSERT_TRUE(saveConfig(state));
    const std::string saved = readUserFile("config.ini");
    std::vector<std::string> keys;
    for (std::size_t at = 0; at < saved.size();) {
        const std::size_t end = saved.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        keys.push_back(saved.substr(at, saved.find('=', at) - at));
        at = end + 2;
    }
    const std::vector<std::string> expected = {"log.dir",
                                               "log.on",
                                               "servers.default",
                                               "servers[0].login",
                                               "servers[0].password",
                                               "servers[0].rememberPassword",
                                               "sounds.device",
                                               "sounds.disable",
                                               "sounds.volume",
                                               "sr.engine",
                                               "sr.inflexion",
                                               "sr.language",
                                               "sr.pitch",
                                               "sr.rate",
                                               "sr.subengine",
                                               "sr.voice",
                                               "sr.volume",
                                               "streams.disable",
                                               "streams.volume",
                                               "style.disableHistoryColors",
                                               "style.disableMenuColors",
                                               "style.fontName",
                                               "style.fontSize",
                                               "style.lbBgColor",
                                               "style.lbFgColor",
                                               "style.rtfBgColor",
                                               "user.allowAutoLinks",
                                               "user.allowDownloads",
                                               "user.confirmOnExit",
                                               "user.language",
                                               "user.rememberPasswords"};
    EXPECT_EQ(keys, expected);
}

TEST_F(ConfigFileTest, ForgottenPasswordsAreNotWritten) {
    loadConfig(state);
    state.servers[0].login = "ann";
    state.servers[0].password = "secret";
    state.servers[0].rememberPassword = false;
    ASSERT_TRUE(saveConfig(state));
    loadConfig(state);
    EXPECT_EQ(state.servers[0].login, "");
    EXPECT_EQ(state.servers[0].password, "");
    EXPECT_FALSE(state.servers[0].rememberPassword);
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
