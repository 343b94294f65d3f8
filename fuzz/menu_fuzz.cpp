// Any sequence of server menu commands (menu texts, item updates, closes, moves, the client's
// own menus) and of the player's keys, characters and clicks in the menu list, one per line,
// through the dispatcher into the real menu controller. After every step the list must show
// exactly the front menu (its lines are the items' texts, its selected line none or the
// menu's selection), and a menu may never hold more items than its text describes plus the
// cap on empty ones.
//
// A line starting with byte 1 is a key: its virtual-key code, then a byte of modifiers (bit 0
// Shift, 1 Ctrl, 2 Alt). Byte 2: the rest is typed as characters. Byte 3: a mouse button or
// move on the list line given by the next byte (255 for none). Anything else is a message
// from the server.

#include <cstdint>
#include <cstdio>
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
#include "text/utf.h"

using vendrel::fuzzing::fail;

namespace {

using vendrel::MenuController;

// The menu commands as the session hands them to the GUI thread's controller.
class MenuEffects final : public vendrel::CommandEffects {
public:
    explicit MenuEffects(MenuController& menus) : menus_(menus) {}
    void menuCommand(const std::string& text, int mode) override {
        menus_.applyMenuCommand(text, mode);
    }
    void closeMenus(std::int32_t n) override { menus_.closeMenus(n); }
    void moveMenuSelection(const std::string& text) override {
        menus_.moveMenuSelectionCommand(text);
    }
    std::int32_t currentMenuId() override { return menus_.currentMenuId(); }
    bool menuExists(std::int32_t id) override { return menus_.menuExists(id); }
    void openLocalMenu(std::int32_t id) override { (void)menus_.openLocalMenu(id, 0); }

private:
    MenuController& menus_;
};

// Local menus 1012 to 1015 with one to four items, kept open by choices, closed by Escape.
class SmallLocalMenus final : public vendrel::LocalMenus {
public:
    bool openLocalMenu(MenuController& menus, std::int32_t id, std::int32_t selection) override {
        if (id < 1012 || id > 1015) {
            return false;
        }
        std::vector<vendrel::MenuItem> items(static_cast<std::size_t>(id - 1011));
        for (std::size_t i = 0; i < items.size(); ++i) {
            items[i].text = i == 1 ? u" " : u"option " + vendrel::wideFromInt(static_cast<int>(i));
        }
        menus.pushLocalMenu(-id, vendrel::MENU_KEEP_OPEN | vendrel::MENU_KEYS_TO_MENU, selection,
                            u"Options", std::move(items));
        return true;
    }
    void localMenuChoice(MenuController& menus, std::int32_t, std::int32_t index) override {
        if (index < 0) {
            menus.closeMenus(-1);
        }
    }
};

void step(std::string_view line, MenuController& menus, vendrel::Connection& connection,
          MenuEffects& effects) {
    const auto byteAt = [&](std::size_t i) {
        return i < line.size() ? static_cast<int>(static_cast<unsigned char>(line[i])) : 0;
    };
    switch (byteAt(0)) {
    case 1: {
        const int modifiers = byteAt(2);
        (void)menus.onKeyDown(byteAt(1),
                              {(modifiers & 1) != 0, (modifiers & 2) != 0, (modifiers & 4) != 0});
        break;
    }
    case 2:
        for (const char16_t c : vendrel::toWide(line.substr(1))) {
            menus.onCharacter(c, {});
        }
        break;
    case 3: {
        const std::int32_t target = byteAt(2) == 255 ? -1 : byteAt(2);
        switch (byteAt(1) % 5) {
        case 0:
            menus.onLeftButtonDown(target);
            break;
        case 1:
            menus.onRightButtonDown(target);
            break;
        case 2:
            menus.onMiddleButtonDown(target);
            break;
        case 3:
            (void)menus.onMouseMove(target);
            break;
        default:
            menus.onContextMenu((byteAt(2) & 1) != 0, (byteAt(2) & 2) != 0);
            break;
        }
        break;
    }
    default:
        vendrel::dispatchCommand(line, connection, effects);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view lines(reinterpret_cast<const char*>(data), size);
    vendrel::DebugLog log;
    vendrel::testing::FakeSocketSystem sockets;
    sockets.plan.push_back(
        {0, {vendrel::testing::acceptedHandshake() + vendrel::testing::serverText("ok")}});
    vendrel::Connection connection(sockets, log);
    if (connection.login("h", 1, "a", "b", {}) != 0) {
        std::abort();
    }
    vendrel::OutgoingCommands outgoing(connection);
    vendrel::testing::FakeListBoxView view;
    vendrel::testing::RecordingSounds sounds;
    vendrel::testing::RecordingSpeech speech;
    speech.speaksMenus = size % 2 == 0;
    vendrel::testing::FakeClock clock;
    const vendrel::GameKeyTable gameKeys = vendrel::defaultGameKeys();
    MenuController menus({view, outgoing, sounds, speech, clock}, gameKeys);
    SmallLocalMenus localMenus;
    menus.setLocalMenus(localMenus);
    MenuEffects effects(menus);

    std::size_t start = 0;
    while (start <= lines.size()) {
        std::size_t end = lines.find('\n', start);
        end = end == std::string_view::npos ? lines.size() : end;
        const std::string_view line = lines.substr(start, end - start);
        start = end + 1;
        step(line, menus, connection, effects);
        clock.now += 100; // typed characters half a second apart start a new search

        const vendrel::Menu* front = menus.currentMenu();
        std::vector<std::u16string> expected;
        for (const auto& item : front ? front->items : std::vector<vendrel::MenuItem>{}) {
            expected.push_back(item.text);
        }
        if (view.lines != expected) {
            fail("the list does not show the front menu's items", line);
        }
        // A key forwarded to the server clamps the menu's selection without moving the list:
        // the list may show no line until the next move, but never another line.
        if (view.selection != -1 && (!front || view.selection != front->selection ||
                                     !front->isValidIndex(view.selection))) {
            fail("the list selects another line than the front menu", line);
        }
        if (front && front->items.size() > vendrel::kMaxEmptyMenuItems + size) {
            fail("a menu holds more items than its text and the cap allow", line);
        }
    }
    return 0;
}
