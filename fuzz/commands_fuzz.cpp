// Server messages and the player's keys (byte 1: code, modifiers), typed text (2) and mouse
// (3), one per line, through the dispatcher into the real menu controller. The list always
// shows the front menu; only ping, midt, midc and soundstate answer, as their rules say.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/debug_log.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_menu_ports.h"
#include "fakes/fake_socket_system.h"
#include "fuzz_failure.h"
#include "menu/menu_controller.h"
#include "net/command_dispatcher.h"
#include "net/command_effects.h"
#include "net/connection.h"
#include "net/outgoing_commands.h"
#include "net/server_command.h"
#include "text/utf.h"

using namespace vendrel;
using vendrel::fuzzing::fail;

namespace {

// The menu commands go to the controller as the session hands them to the GUI thread; the
// sound "door" is loaded.
class Effects final : public CommandEffects {
public:
    explicit Effects(MenuController& menus) : menus(menus) {}
    MenuController& menus;
    bool hasQuit = false;

    void menuCommand(const std::string& text, int mode) override {
        menus.applyMenuCommand(text, mode);
    }
    void closeMenus(std::int32_t n) override { menus.closeMenus(n); }
    void moveMenuSelection(const std::string& text) override {
        menus.moveMenuSelectionCommand(text);
    }
    void openLocalMenu(std::int32_t id) override { (void)menus.openLocalMenu(id, 0); }
    std::int32_t currentMenuId() override { return menus.currentMenuId(); }
    bool menuExists(std::int32_t id) override { return menus.menuExists(id); }
    bool isSoundLoaded(const std::string& name) override { return name == "door"; }
    void quit() override { hasQuit = true; }
};

// Local menus 1012 to 1015 with one to four items, kept open by choices, closed by Escape.
class SmallLocalMenus final : public LocalMenus {
public:
    bool openLocalMenu(MenuController& menus, std::int32_t id, std::int32_t selection) override {
        if (id < 1012 || id > 1015) {
            return false;
        }
        std::vector<MenuItem> items(static_cast<std::size_t>(id - 1011));
        for (std::size_t i = 0; i < items.size(); ++i) {
            items[i].text = i == 1 ? u" " : u"option " + wideFromInt(static_cast<int>(i));
        }
        menus.pushLocalMenu(-id, MENU_KEEP_OPEN | MENU_KEYS_TO_MENU, selection, u"Options",
                            std::move(items));
        return true;
    }
    void localMenuChoice(MenuController& menus, std::int32_t, std::int32_t index) override {
        if (index < 0) {
            menus.closeMenus(-1);
        }
    }
};

void playerStep(std::string_view line, MenuController& menus) {
    const auto byteAt = [&](std::size_t i) {
        return i < line.size() ? static_cast<int>(static_cast<unsigned char>(line[i])) : 0;
    };
    const std::int32_t target = byteAt(2) == 255 ? -1 : byteAt(2);
    if (line[0] == 1) {
        (void)menus.onKeyDown(byteAt(1),
                              {(byteAt(2) & 1) != 0, (byteAt(2) & 2) != 0, (byteAt(2) & 4) != 0});
    } else if (line[0] == 2) {
        for (const char16_t c : toWide(line.substr(1))) {
            menus.onCharacter(c, {});
        }
    } else if (byteAt(1) % 5 == 0) {
        menus.onLeftButtonDown(target);
    } else if (byteAt(1) % 5 == 1) {
        menus.onRightButtonDown(target);
    } else if (byteAt(1) % 5 == 2) {
        menus.onMiddleButtonDown(target);
    } else if (byteAt(1) % 5 == 3) {
        (void)menus.onMouseMove(target);
    } else {
        menus.onContextMenu((byteAt(2) & 1) != 0, (byteAt(2) & 2) != 0);
    }
}

void serverStep(std::string_view message, Connection& connection, Effects& effects,
                const testing::FakeSocketSystem& sockets) {
    const ServerCommand command = parseServerCommand(message);
    const CommandKind kind = command.kind;
    if (kind != CommandKind::Unknown &&
        (message.size() < kMinCommandLength || !message.starts_with(commandName(kind)) ||
         !message.ends_with(command.text))) {
        fail("a command does not start with its keyword or end with its text", message);
    }
    // Only the commands that answer; every other command keeps quiet.
    std::vector<std::string> expected = sockets.sentTexts(0);
    const std::int32_t current = effects.currentMenuId();
    if (kind == CommandKind::Ping) {
        expected.push_back("pong");
    } else if (kind == CommandKind::ReplyIfMenuTop &&
               (command.number <= 0 || command.number == current)) {
        expected.push_back(menuReplyText(command.text, current));
    } else if (kind == CommandKind::ReplyIfMenuExists && effects.menuExists(command.number)) {
        expected.push_back(command.text);
    } else if (kind == CommandKind::SoundState) {
        expected.push_back("inbx " + std::to_string(command.number) + "\x7f" +
                           (command.text == "door" ? "1" : "0"));
    }
    dispatchCommand(message, connection, effects);
    if (sockets.sentTexts(0) != expected) {
        fail("a command answered otherwise", message);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view lines(reinterpret_cast<const char*>(data), size);
    DebugLog log;
    testing::FakeSocketSystem sockets;
    sockets.plan.push_back({0, {testing::acceptedHandshake() + testing::serverText("ok")}});
    Connection connection(sockets, log);
    if (connection.login("h", 1, "a", "b", {}) != 0) {
        std::abort();
    }
    OutgoingCommands outgoing(connection);
    testing::FakeListBoxView view;
    testing::RecordingSounds sounds;
    testing::RecordingSpeech speech;
    speech.speaksMenus = size % 2 == 0;
    testing::FakeClock clock;
    const GameKeyTable gameKeys = defaultGameKeys();
    MenuController menus({view, outgoing, sounds, speech, clock}, gameKeys);
    SmallLocalMenus localMenus;
    menus.setLocalMenus(localMenus);
    Effects effects(menus);

    for (std::size_t start = 0; start <= lines.size() && !effects.hasQuit;) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        const std::string_view line = lines.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line[0] >= 1 && line[0] <= 3) {
            playerStep(line, menus);
        } else {
            serverStep(line, connection, effects, sockets);
        }
        clock.now += 100; // typed characters half a second apart start a new search

        const Menu* front = menus.currentMenu();
        std::vector<std::u16string> expected;
        for (const MenuItem& item : front ? front->items : std::vector<MenuItem>{}) {
            expected.push_back(item.text);
        }
        // A key forwarded to the server clamps the menu's selection without moving the list:
        // the list may show no line until the next move, but never another line.
        if (view.lines != expected ||
            (view.selection != -1 && (!front || view.selection != front->selection ||
                                      !front->isValidIndex(view.selection)))) {
            fail("the list shows another menu or line than the front menu's", line);
        }
        if (front && front->items.size() > kMaxEmptyMenuItems + size) {
            fail("a menu holds more items than its text and the cap allow", line);
        }
    }
    return 0;
}
