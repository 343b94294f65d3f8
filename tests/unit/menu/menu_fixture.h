#pragma once
// A menu controller over recording fakes and a logged-in connection whose sent texts are read
// back, so tests see exactly what the server would receive.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "app/debug_log.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_menu_ports.h"
#include "fakes/fake_socket_system.h"
#include "menu/menu_controller.h"
#include "net/connection.h"
#include "net/outgoing_commands.h"

namespace vendrel::testing {

// Fields joined by the field separator, as the server writes a menu text.
inline std::string fields(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        text.append(text.empty() ? "" : "\x7f").append(part);
    }
    return text;
}

// A server's menu text with one item per label; each item's key is its label.
inline std::string menuText(int id, int columns, int selection, int flags,
                            const std::vector<std::string>& labels) {
    std::string text =
        fields({std::to_string(id), std::to_string(columns), std::to_string(labels.size()),
                std::to_string(selection), std::to_string(flags), "x"});
    for (const std::string& label : labels) {
        text += "\x7f" + fields({label, label, "null", "null"});
    }
    return text;
}

class MenuFixture : public ::testing::Test {
protected:
    MenuFixture() {
        sockets.plan.push_back({0, {acceptedHandshake() + serverText("ok")}});
        EXPECT_EQ(connection.login("h", 1, "a", "b", {}), 0);
        sentBefore = sockets.sentTexts(0).size();
    }

    // What went to the server since the fixture logged in.
    std::vector<std::string> sent() {
        const std::vector<std::string> all = sockets.sentTexts(0);
        return {all.begin() + static_cast<std::ptrdiff_t>(sentBefore), all.end()};
    }

    void openMenu(int id, int columns, int selection, int flags,
                  const std::vector<std::string>& labels) {
        controller.applyMenuCommand(menuText(id, columns, selection, flags, labels), kMenuShow);
    }

    // The list box's key-down; the result tells whether the system list box sees it too.
    KeyHandling press(int key, KeyModifiers modifiers = {}) {
        return controller.onKeyDown(key, modifiers);
    }

    void forgetFeedback() {
        sounds.played.clear();
        speech.said.clear();
    }

    [[nodiscard]] std::int32_t selection() {
        const Menu* menu = controller.currentMenu();
        return menu ? menu->selection : -100;
    }

    DebugLog log;
    FakeSocketSystem sockets;
    Connection connection{sockets, log};
    OutgoingCommands outgoing{connection};
    FakeListBoxView view;
    RecordingSounds sounds;
    RecordingSpeech speech;
    FakeClock clock;
    GameKeyTable gameKeys = defaultGameKeys();
    MenuController controller{MenuPorts{view, outgoing, sounds, speech, clock}, gameKeys};
    std::size_t sentBefore = 0;
};

} // namespace vendrel::testing
