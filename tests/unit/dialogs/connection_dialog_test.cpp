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

using Control = ConnectionControl;
using Strings = std::vector<std::string>;

TEST(LoginRules, WholeLoginsAndTypedCharacters) {
    const std::pair<std::u16string, bool> logins[] = {
        {u"Zoe_K-9.x", true},
        {u"zo\u00e91", false},
        {u"\uFF5Aoe1", false},          // a full-width letter that folds to 'z' in some tables
        {u"\u0660\u0661\u0662", false}, // Arabic-Indic digits
    };
    for (const auto& [login, isValid] : logins) {
        EXPECT_EQ(isValidLogin(login), isValid) << toNarrow(login);
    }
    // Letters, digits, "_-." and the editing controls (backspace, Ctrl+A C V X) pass.
    for (const char16_t typed : std::u16string_view(u"aZ09_-.\b\x01\x03\x16\x18")) {
        EXPECT_TRUE(isLoginCharAllowed(typed)) << static_cast<int>(typed);
    }
    // The last is half of an emoji.
    for (const char16_t typed : std::u16string_view(u"\u00e9! @\r\x1a\0\x7f/:`{\xD83D", 14)) {
        EXPECT_FALSE(isLoginCharAllowed(typed)) << static_cast<int>(typed);
    }
}

class ConnectionDialogTest : public ::testing::Test, public testing::AppFixture {
protected:
    ConnectionDialogTest() {
        writeFile(program, "english.lng",
                  "isocode=en\nservername=Vendrel lounge\nwinTitle2=Vendrel - %s - %s\n"
                  "connTitle=Connection\nencrypted=Encrypted\nrestoredefaults=Restore\n"
                  "restoredefaults1=Reset everything?\nplainconnection=Plain\n"
                  "plainconnection1=Send the password in clear?\n");
        EXPECT_TRUE(loadLanguage(state, true));
        resetServers(state);
        state.servers[0].login = "builtin";
        state.servers[0].password = "pw0";
        ServerEntry& second = state.servers.emplace_back();
        second.name = u"Second";
        second.webHost = "web2:8080";
        second.login = "zoe";
        second.password = "secret";
        second.createAccountUrl = "http://web2:8080/en/register";
        ServerEntry& third = state.servers.emplace_back();
        third.name = u"Third";
        third.webHost = "web3";
        third.login = "max";
        third.rememberPassword = false;
        third.createAccountUrl = "http://elsewhere.example/register";
        third.lostPasswordUrl = "mailto:help@web3";
        state.settings.defaultServer = 1;
    }

    ConnectionDialog makeDialog() {
        ConnectionDialog dialog(
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
        dialog.initialise();
        return dialog;
    }

    testing::FakeConnectionDialogView view;
    testing::RecordingShell shell;
    testing::FakeMainWindow mainWindow;
    Strings events;
};

TEST_F(ConnectionDialogTest, InitialiseShowsTheDefaultServerAndTexts) {
    makeDialog();
    EXPECT_EQ(view.title, u"Connection");
    EXPECT_EQ(view.texts[Control::Encrypted], u"Encrypted"); // the last of the labels
    EXPECT_EQ(view.texts[Control::Password], u"secret");
    EXPECT_EQ(view.serverNames,
              (std::vector<std::u16string>{u"Vendrel lounge", u"Second", u"Third"}));
    EXPECT_EQ(view.selection, 1u);
    EXPECT_TRUE(view.isRememberChecked);
    EXPECT_EQ(view.limits,
              (std::map<Control, std::size_t>{{Control::Login, 32}, {Control::Password, 63}}));
    EXPECT_EQ(view.focused, Control::Login);
    // An index from config.ini outside the list shows the built-in server.
    for (const std::int32_t index : {-1, 3}) {
        state.settings.defaultServer = index;
        makeDialog();
        EXPECT_EQ(view.selection, 0u) << index;
        EXPECT_EQ(view.texts[Control::Login], u"builtin") << index;
    }
    state.servers.clear(); // every later step indexes the list
    makeDialog();
    EXPECT_EQ(view.serverNames, std::vector<std::u16string>{u"Vendrel lounge"});
}

TEST_F(ConnectionDialogTest, SelectionChangeFillsTheFieldsFromThatEntry) {
    state.servers[2].isTls = true;
    auto dialog = makeDialog();
    view.selection = 2;
    dialog.serverSelectionChanged();
    view.selection = 3; // no such entry: the fields stay
    dialog.serverSelectionChanged();
    view.selection.reset(); // nothing selected: the fields stay
    dialog.serverSelectionChanged();
    EXPECT_EQ(view.texts[Control::Login], u"max");
    EXPECT_EQ(view.texts[Control::Password], u"");
    EXPECT_FALSE(view.isRememberChecked);
    EXPECT_TRUE(view.isTlsChecked);
    EXPECT_EQ(state.settings.defaultServer, 1); // only Connect chooses
}

TEST_F(ConnectionDialogTest, RefusedLoginsBeepAndKeepTheDialogOpenAndCancelQuits) {
    auto dialog = makeDialog();
    view.selection = 2;
    for (const std::u16string login : {u"", u"abc", u"zoe!"}) {
        view.texts[Control::Login] = login;
        view.focused = Control::Password;
        const int beeps = view.beeps;
        dialog.connect();
        EXPECT_EQ(view.beeps, beeps + 1) << toNarrow(login);
        EXPECT_EQ(view.focused, Control::Login) << toNarrow(login);
        EXPECT_FALSE(view.closedWith.has_value()) << toNarrow(login);
    }
    EXPECT_TRUE(mainWindow.titles.empty());
    dialog.cancel();
    EXPECT_EQ(view.closedWith, false);
    EXPECT_FALSE(dialog.isConfirmed());
    EXPECT_EQ(shell.events, Strings{"quit"});
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(state.servers[2].login, "max");
    EXPECT_EQ(mainWindow.titles, std::vector<std::u16string>{u"Vendrel - Second - zoe"});
}

TEST_F(ConnectionDialogTest, ConnectSavesTheChoiceThenTitlesAndStarts) {
    auto dialog = makeDialog();
    view.selection = 2;
    view.texts[Control::Login] = u"Zoe.K-2_";
    view.texts[Control::Password] = u"mot de passe \u00e9";
    dialog.connect();
    EXPECT_EQ(view.closedWith, true);
    EXPECT_TRUE(dialog.isConfirmed());
    const ServerEntry& chosen = state.servers[2];
    EXPECT_EQ(chosen.login, "Zoe.K-2_");
    EXPECT_EQ(chosen.password, "mot de passe \xC3\xA9");
    EXPECT_TRUE(chosen.rememberPassword);
    EXPECT_EQ(state.servers[1].login, "zoe"); // the other entries are untouched
    EXPECT_EQ(mainWindow.titles, std::vector<std::u16string>{u"Vendrel - Third - Zoe.K-2_"});
    EXPECT_EQ(events, (Strings{"presentation", "start server 2 as Zoe.K-2_, titled 1"}));
    EXPECT_TRUE(shell.events.empty()); // no quit
}

TEST_F(ConnectionDialogTest, EncryptionIsSavedAndLeavingItForAServerReachedEncryptedIsAsked) {
    const struct {
        std::size_t server;
        bool isChecked, answerYes, isAsked, isConnected;
        bool isTls, hasReachedTls; // the entry's setting and record afterwards
    } cases[] = {
        {1, true, false, false, true, true, false}, // plain to TLS: nothing to ask
        {2, true, false, false, true, true, true},  // stays encrypted
        {2, false, false, true, false, true, true}, // No: the dialog stays, encrypted
        {2, false, true, true, true, false, false}, // Yes: plain, the player knows
    };
    state.servers[2].isTls = true;
    state.servers[2].hasReachedTls = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.server) + " " + std::to_string(c.isChecked));
        view = testing::FakeConnectionDialogView();
        events.clear();
        state.settings.defaultServer = 1;
        auto dialog = makeDialog();
        view.selection = c.server;
        dialog.serverSelectionChanged();
        view.texts[Control::Login] = u"max1"; // the shortest login allowed
        view.isTlsChecked = c.isChecked;
        view.answerYes = c.answerYes;
        dialog.connect();
        const ServerEntry& entry = state.servers[c.server];
        EXPECT_EQ(view.questions.size(), c.isAsked ? 2u : 0u);
        EXPECT_EQ(dialog.isConfirmed(), c.isConnected);
        EXPECT_EQ(events.empty(), !c.isConnected);
        EXPECT_EQ(entry.isTls, c.isTls);
        EXPECT_EQ(entry.hasReachedTls, c.hasReachedTls);
        if (!c.isConnected) {
            // Back where it was: the box checked again and in focus, nothing chosen.
            EXPECT_EQ(view.questions[1], u"Send the password in clear?");
            EXPECT_TRUE(view.isTlsChecked);
            EXPECT_EQ(view.focused, Control::Encrypted);
            EXPECT_EQ(state.settings.defaultServer, 1);
        }
    }
}

TEST_F(ConnectionDialogTest, OverlongFieldsAreCutAndAForgottenPasswordIsUsedButNeverWritten) {
    auto dialog = makeDialog();
    view.texts[Control::Login] = std::u16string(40, u'a');
    view.texts[Control::Password] = std::u16string(70, u'p');
    view.isRememberChecked = false;
    dialog.connect();
    EXPECT_EQ(state.servers[1].login, std::string(32, 'a'));
    EXPECT_EQ(state.servers[1].password, std::string(63, 'p')); // the login still needs it
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

TEST_F(ConnectionDialogTest, RestoreDefaultsAsksFirst) {
    auto dialog = makeDialog();
    view.selection = 2;
    dialog.restoreDefaults(); // answered No
    EXPECT_EQ(view.questions, (std::vector<std::u16string>{u"Restore", u"Reset everything?"}));
    EXPECT_EQ(view.focused, Control::RestoreDefaults);
    EXPECT_TRUE(events.empty());

    view.answerYes = true;
    dialog.restoreDefaults();
    EXPECT_EQ(events, Strings{"restore"});
    EXPECT_EQ(view.selection, 0u); // the default server after the restore
    EXPECT_EQ(view.texts[Control::Login] + view.texts[Control::Password], u"");
    EXPECT_EQ(view.focused, Control::Login);
}

TEST_F(ConnectionDialogTest, AccountLinksOpenOnlyOnTheConfirmedServersWebHost) {
    auto dialog = makeDialog();
    dialog.createAccount();
    view.selection = 2;
    dialog.createAccount(); // another host
    dialog.lostPassword();  // mail links go anywhere
    EXPECT_EQ(shell.events,
              (Strings{"link http://web2:8080/en/register", "link mailto:help@web3"}));
}

} // namespace
} // namespace vendrel
