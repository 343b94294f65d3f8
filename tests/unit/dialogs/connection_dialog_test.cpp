#include "dialogs/connection_dialog_logic.h"

#include <gtest/gtest.h>

#include "app/restore_defaults.h"
#include "config/config_file.h"
#include "config/language.h"
#include "fakes/app_fixture.h"
#include "fakes/fake_client_ports.h"
#include "fakes/fake_connection_dialog_view.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using testing::AppFixture;
using testing::FakeConnectionDialogView;
using testing::FakeMainWindow;
using testing::RecordingShell;
using Control = ConnectionControl;

TEST(LoginRules, WholeLogins) {
    struct Case {
        std::u16string login;
        bool isValid;
    };
    const Case cases[] = {
        {u"", true}, // the length is checked on its own
        {u"zoe", true},
        {u"Zoe_K-9.x", true},
        {u"zoe k", false},
        {u"zoé1", false},
        {u"zoe!", false},
        {u"zoe\t", false},
        {u"\uFF5Aoe1", false}, // a full-width letter that folds to 'z' in some tables
        {u"\u0660\u0661\u0662\u0663", false}, // Arabic-Indic digits
        {u"zo\u0130e", false},
        {u"zoe@example", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidLogin(c.login), c.isValid) << toNarrow(c.login);
    }
}

TEST(LoginRules, TypedCharacters) {
    // Letters, digits, "_-." and the editing controls (backspace, Ctrl+A C V X) pass.
    for (const char16_t typed : std::u16string_view(u"aZ09_-.\b\x01\x03\x16\x18")) {
        EXPECT_TRUE(isLoginCharAllowed(typed)) << static_cast<int>(typed);
    }
    // The last is half of an emoji.
    for (const char16_t typed : std::u16string_view(u"\u00e9! @\r\x1a\0\x7f/:`{\xD83D", 14)) {
        EXPECT_FALSE(isLoginCharAllowed(typed)) << static_cast<int>(typed);
    }
}

class ConnectionDialogTest : public ::testing::Test, public AppFixture {
protected:
    ConnectionDialogTest() {
        writeFile(program, "english.lng",
                  "isocode=en\nservername=Vendrel lounge\nwinTitle2=Vendrel - %s - %s\n"
                  "connTitle=Connection\nserver=Server:\nlogin=Login:\npassword=Password:\n"
                  "rememberpassword=Remember\nconnection=Connect\nlostpassword=Lost\n"
                  "createaccount=Create\nrestoredefaults=Restore\nabout=About\n"
                  "restoredefaults1=Reset everything?\nencrypted=Encrypted\n"
                  "plainconnection=Plain\nplainconnection1=Send the password in clear?\n");
        EXPECT_TRUE(loadLanguage(state, true));
        resetServers(state);
        state.servers[0].login = "builtin";
        state.servers[0].password = "pw0";
        ServerEntry second;
        second.name = u"Second";
        second.webHost = "web2:8080";
        second.login = "zoe";
        second.password = "secret";
        second.createAccountUrl = "http://web2:8080/en/register";
        second.lostPasswordUrl = "https://web2:8080/en/lostpassword";
        state.servers.push_back(second);
        ServerEntry third;
        third.name = u"Third";
        third.webHost = "web3";
        third.login = "max";
        third.password = "";
        third.rememberPassword = false;
        third.createAccountUrl = "http://elsewhere.example/register";
        third.lostPasswordUrl = "mailto:help@web3";
        state.servers.push_back(third);
        state.settings.defaultServer = 1;
        state.settings.fontSize = 30;
    }

    ConnectionDialog makeDialog() {
        return ConnectionDialog(
            state, view, shell, mainWindow,
            {[this] {
                 // The connection must find the choice already saved.
                 const auto index = static_cast<std::size_t>(state.settings.defaultServer);
                 events.push_back("start server " + std::to_string(index) + " as " +
                                  state.servers.at(index).login + ", titled " +
                                  std::to_string(mainWindow.titles.size()));
             },
             [this] { events.push_back("presentation"); },
             [this] {
                 restoreDefaults(state, {});
                 events.push_back("restore");
             }});
    }

    FakeConnectionDialogView view;
    RecordingShell shell;
    FakeMainWindow mainWindow;
    std::vector<std::string> events;
};

TEST_F(ConnectionDialogTest, InitialiseShowsTheDefaultServerAndTexts) {
    state.debugLog.open(user.str() + "debug.txt");
    auto dialog = makeDialog();
    dialog.initialise();
    EXPECT_EQ(view.title, u"Connection");
    const std::pair<Control, std::u16string> expectedTexts[] = {
        {Control::ServerLabel, u"Server:"},
        {Control::LoginLabel, u"Login:"},
        {Control::PasswordLabel, u"Password:"},
        {Control::RememberPassword, u"Remember"},
        {Control::Connect, u"Connect"},
        {Control::LostPassword, u"Lost"},
        {Control::CreateAccount, u"Create"},
        {Control::RestoreDefaults, u"Restore"},
        {Control::About, u"About"},
        {Control::Encrypted, u"Encrypted"},
        {Control::Login, u"zoe"},
        {Control::Password, u"secret"},
    };
    for (const auto& [control, text] : expectedTexts) {
        EXPECT_EQ(view.texts[control], text) << static_cast<int>(control);
    }
    EXPECT_EQ(view.serverNames,
              (std::vector<std::u16string>{u"Vendrel lounge", u"Second", u"Third"}));
    EXPECT_EQ(view.selection, 1u);
    EXPECT_TRUE(view.isRememberChecked);
    EXPECT_EQ(view.limits[Control::Login], 32u);
    EXPECT_EQ(view.limits[Control::Password], 63u);
    EXPECT_EQ(view.focused, Control::Login);
    EXPECT_FALSE(view.closedWith.has_value());
    state.debugLog.close();
    EXPECT_NE(readUserFile("debug.txt")
                  .find("INitializing connection dialog\r\nConnection dialog Ok\r\n"),
              std::string::npos);
}

TEST_F(ConnectionDialogTest, DefaultIndexOutsideTheListShowsTheBuiltInServer) {
    for (const std::int32_t index : {-1, 3, 1000}) {
        state.settings.defaultServer = index;
        auto dialog = makeDialog();
        dialog.initialise();
        EXPECT_EQ(view.selection, 0u) << index;
        EXPECT_EQ(view.texts[Control::Login], u"builtin") << index;
    }
}

TEST_F(ConnectionDialogTest, SelectionChangeFillsTheFieldsFromThatEntry) {
    state.servers[2].isTls = true;
    auto dialog = makeDialog();
    dialog.initialise();
    struct Case {
        std::optional<std::size_t> selection;
        std::u16string login;
        std::u16string password;
        bool isRemembered;
        bool isTls;
    };
    const Case cases[] = {
        {2, u"max", u"", false, true},
        {0, u"builtin", u"pw0", true, false},
        {1, u"zoe", u"secret", true, false},
        {5, u"zoe", u"secret", true, false},            // no such entry: the fields stay
        {std::nullopt, u"zoe", u"secret", true, false}, // nothing selected: the fields stay
    };
    for (const auto& c : cases) {
        view.selection = c.selection;
        dialog.serverSelectionChanged();
        EXPECT_EQ(view.texts[Control::Login], c.login);
        EXPECT_EQ(view.texts[Control::Password], c.password);
        EXPECT_EQ(view.isRememberChecked, c.isRemembered);
        EXPECT_EQ(view.isTlsChecked, c.isTls);
    }
    EXPECT_EQ(state.settings.defaultServer, 1); // only Connect chooses
}

TEST_F(ConnectionDialogTest, RefusedLoginsBeepAndKeepTheDialogOpen) {
    const std::u16string logins[] = {u"", u"abc", u"ab cd", u"zoé1", u"zoe!", u" zoe"};
    for (const auto& login : logins) {
        auto dialog = makeDialog();
        dialog.initialise();
        view.selection = 2;
        view.texts[Control::Login] = login;
        view.focused = Control::Password;
        const int beeps = view.beeps;
        dialog.connect();
        EXPECT_EQ(view.beeps, beeps + 1) << toNarrow(login);
        EXPECT_EQ(view.focused, Control::Login) << toNarrow(login);
        EXPECT_FALSE(view.closedWith.has_value()) << toNarrow(login);
        EXPECT_FALSE(dialog.isConfirmed());
    }
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(mainWindow.titles.empty());
    EXPECT_EQ(state.settings.defaultServer, 1);
    EXPECT_EQ(state.servers[2].login, "max");
}

TEST_F(ConnectionDialogTest, ConnectSavesTheChoiceThenTitlesAndStarts) {
    auto dialog = makeDialog();
    dialog.initialise();
    view.selection = 2;
    view.texts[Control::Login] = u"Zoe.K-2_";
    view.texts[Control::Password] = u"mot de passe é";
    view.isRememberChecked = true;
    dialog.connect();
    EXPECT_EQ(view.closedWith, true);
    EXPECT_TRUE(dialog.isConfirmed());
    EXPECT_EQ(state.settings.defaultServer, 2);
    const ServerEntry& chosen = state.servers[2];
    EXPECT_EQ(chosen.login, "Zoe.K-2_");
    EXPECT_EQ(chosen.password, "mot de passe \xC3\xA9");
    EXPECT_TRUE(chosen.rememberPassword);
    EXPECT_EQ(state.servers[1].login, "zoe"); // the other entries are untouched
    EXPECT_EQ(mainWindow.titles, std::vector<std::u16string>{u"Vendrel - Third - Zoe.K-2_"});
    EXPECT_EQ(events,
              (std::vector<std::string>{"presentation", "start server 2 as Zoe.K-2_, titled 1"}));
    EXPECT_TRUE(shell.events.empty()); // no quit
}

TEST_F(ConnectionDialogTest, EncryptionIsSavedAndLeavingItForAServerReachedEncryptedIsAsked) {
    struct Case {
        std::size_t server;
        bool isChecked;
        bool answerYes;
        bool isAsked;
        bool isConnected;
        bool isTls;         // the entry's setting afterwards
        bool hasReachedTls; // the entry's record afterwards
    };
    const Case cases[] = {
        {1, true, false, false, true, true, false}, // plain to TLS: nothing to ask
        {2, true, false, false, true, true, true},  // stays encrypted
        {2, false, false, true, false, true, true}, // No: the dialog stays, encrypted
        {2, false, true, true, true, false, false}, // Yes: plain, the player knows
    };
    for (const auto& c : cases) {
        view = FakeConnectionDialogView();
        events.clear();
        state.settings.defaultServer = 1;
        state.servers[1].isTls = false;
        state.servers[2].isTls = true;
        state.servers[2].hasReachedTls = true;
        state.servers[2].login = "max";
        auto dialog = makeDialog();
        dialog.initialise();
        view.selection = c.server;
        dialog.serverSelectionChanged();
        view.texts[Control::Login] = u"maxim";
        view.isTlsChecked = c.isChecked;
        view.answerYes = c.answerYes;
        dialog.connect();
        const ServerEntry& entry = state.servers[c.server];
        const auto asked =
            c.isAsked ? std::vector<std::u16string>{u"Plain", u"Send the password in clear?"}
                      : std::vector<std::u16string>{};
        EXPECT_EQ(view.questions, asked) << c.server << c.isChecked;
        EXPECT_EQ(dialog.isConfirmed(), c.isConnected) << c.server << c.isChecked;
        EXPECT_EQ(events.empty(), !c.isConnected);
        EXPECT_EQ(entry.isTls, c.isTls) << c.server << c.isChecked;
        EXPECT_EQ(entry.hasReachedTls, c.hasReachedTls) << c.server << c.isChecked;
        if (!c.isConnected) {
            // Back where it was: the box checked again and in focus, nothing chosen.
            EXPECT_TRUE(view.isTlsChecked);
            EXPECT_EQ(view.focused, Control::Encrypted);
            EXPECT_EQ(state.settings.defaultServer, 1);
            EXPECT_EQ(entry.login, "max");
        }
    }
}

TEST_F(ConnectionDialogTest, OverlongFieldsAreCutToTheirLimits) {
    auto dialog = makeDialog();
    dialog.initialise();
    view.texts[Control::Login] = std::u16string(40, u'a');
    view.texts[Control::Password] = std::u16string(70, u'p');
    dialog.connect();
    EXPECT_EQ(state.servers[1].login, std::string(32, 'a'));
    EXPECT_EQ(state.servers[1].password, std::string(63, 'p'));
}

TEST_F(ConnectionDialogTest, ForgottenPasswordIsUsedButNeverWritten) {
    auto dialog = makeDialog();
    dialog.initialise();
    view.texts[Control::Login] = u"zoe2";
    view.texts[Control::Password] = u"hunter22";
    view.isRememberChecked = false;
    dialog.connect();
    EXPECT_EQ(state.servers[1].password, "hunter22"); // the login still needs it
    EXPECT_FALSE(state.servers[1].rememberPassword);
    ASSERT_TRUE(saveConfig(state));
    const std::string saved = readUserFile("config.ini");
    EXPECT_EQ(saved.find("servers[1].password"), std::string::npos);
    EXPECT_NE(saved.find("servers[1].rememberPassword=false"), std::string::npos);
    loadConfig(state);
    ASSERT_EQ(state.servers.size(), 3u);
    EXPECT_EQ(state.servers[1].password, "");
    EXPECT_EQ(state.servers[1].login, ""); // a forgotten entry keeps no login either
    EXPECT_EQ(state.settings.defaultServer, 1);
}

TEST_F(ConnectionDialogTest, CancelQuitsWithoutConnecting) {
    auto dialog = makeDialog();
    dialog.initialise();
    view.selection = 2;
    view.texts[Control::Login] = u"someone";
    dialog.cancel();
    EXPECT_EQ(view.closedWith, false);
    EXPECT_FALSE(dialog.isConfirmed());
    EXPECT_EQ(shell.events, std::vector<std::string>{"quit"});
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(state.settings.defaultServer, 1);
    EXPECT_EQ(state.servers[2].login, "max");
    EXPECT_EQ(mainWindow.titles, std::vector<std::u16string>{u"Vendrel - Second - zoe"});
}

TEST_F(ConnectionDialogTest, RestoreDefaultsAsksFirst) {
    writeFile(user, "config.ini", "style.fontSize=30\n");
    auto dialog = makeDialog();
    dialog.initialise();
    view.selection = 2;

    view.answerYes = false;
    dialog.restoreDefaults();
    EXPECT_EQ(view.questions, (std::vector<std::u16string>{u"Restore", u"Reset everything?"}));
    EXPECT_EQ(view.focused, Control::RestoreDefaults);
    EXPECT_EQ(state.settings.fontSize, 30);
    EXPECT_EQ(state.settings.defaultServer, 1);
    EXPECT_EQ(view.texts[Control::Login], u"zoe");
    EXPECT_EQ(readUserFile("config.ini"), "style.fontSize=30\n");
    EXPECT_TRUE(events.empty());

    view.answerYes = true;
    dialog.restoreDefaults();
    EXPECT_EQ(state.settings.fontSize, 14);
    EXPECT_EQ(state.settings.defaultServer, 0);
    EXPECT_EQ(view.selection, 0u);
    EXPECT_EQ(view.texts[Control::Login], u"");
    EXPECT_EQ(view.texts[Control::Password], u"");
    EXPECT_EQ(view.focused, Control::Login);
    EXPECT_EQ(readUserFile("config.ini"), "<missing>");
    EXPECT_EQ(state.servers.size(), 3u); // the server list is kept
    EXPECT_EQ(events, std::vector<std::string>{"restore"});
    EXPECT_FALSE(view.closedWith.has_value());
}

TEST_F(ConnectionDialogTest, AccountLinksOnlyOnTheCurrentServersWebHost) {
    struct Case {
        std::optional<std::size_t> selection;
        bool isCreateAccount;
        std::vector<std::string> opened;
    };
    const Case cases[] = {
        {1, true, {"link http://web2:8080/en/register"}},
        {1, false, {"link https://web2:8080/en/lostpassword"}},
        {2, true, {}},                         // another host
        {2, false, {"link mailto:help@web3"}}, // mail links go anywhere
        {0, true, {}},                         // the built-in server's host is not web2
        {std::nullopt, true, {}},
        {9, false, {}},
    };
    for (const auto& c : cases) {
        auto dialog = makeDialog();
        dialog.initialise();
        shell.events.clear();
        view.selection = c.selection;
        if (c.isCreateAccount) {
            dialog.createAccount();
        } else {
            dialog.lostPassword();
        }
        EXPECT_EQ(shell.events, c.opened);
    }
    EXPECT_FALSE(view.closedWith.has_value());
}

TEST_F(ConnectionDialogTest, AboutKeepsTheDialogAndAnEmptyServerListGetsTheBuiltInServer) {
    state.servers.clear();
    auto dialog = makeDialog();
    dialog.initialise();
    EXPECT_EQ(view.serverNames, std::vector<std::u16string>{u"Vendrel lounge"});
    dialog.about(); // shows the box and keeps the dialog
    EXPECT_EQ(view.aboutBoxes, 1);
    EXPECT_FALSE(view.closedWith.has_value());
    view.texts[Control::Login] = u"zoe1";
    dialog.connect();
    ASSERT_EQ(state.servers.size(), 1u);
    EXPECT_EQ(state.servers[0].login, "zoe1");
}

} // namespace
} // namespace vendrel
