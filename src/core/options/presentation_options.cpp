// The channels and views (1015), font and colours (1021), and the customisation of one
// channel (1100 + c) or one view (1200 + v).

#include "app/app_state.h"
#include "app/virtual_keys.h"
#include "history/presentation_files.h"
#include "menu/menu_controller.h"
#include "options/option_menus.h"
#include "ports/dialog_service.h"
#include "ports/platform.h"
#include "ports/system_dialogs.h"
#include "ports/window_controls.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using namespace option_menu;

constexpr std::uint32_t kChannelsFlags = MENU_KEEP_OPEN | MENU_TYPE_AHEAD | MENU_KEYS_TO_MENU;
constexpr std::size_t kMaxAddedChannels = 31;
// Servers of a later protocol set their own channels: the player may not add or remove any.
constexpr std::int32_t kLastOpenProtocol = 0x1FFFF;
// Channel customisation lines.
constexpr std::int32_t kNameLine = 0;
constexpr std::int32_t kReadLine = 1;
constexpr std::int32_t kInterruptLine = 2;
constexpr std::int32_t kSoundLine = 3;
constexpr std::int32_t kColourLine = 4;
constexpr std::int32_t kFirstStyleLine = 5;
constexpr std::int32_t kBackLine = 9;
constexpr const char* kStyleKeys[] = {"bold", "italic", "underline", "strikeout"};

std::u16string sanitisedName(std::u16string name) {
    for (char16_t& c : name) {
        if (c < 32) {
            c = u' ';
        }
    }
    if (name.size() > kMaxOptionNameLength) {
        name.resize(kMaxOptionNameLength);
    }
    return name;
}

std::int32_t count(std::size_t size) {
    return static_cast<std::int32_t>(size);
}

} // namespace

bool OptionMenus::isProtocolLimited() const {
    return !state_.servers.empty() &&
           state_.servers[defaultServerIndex(state_.settings, state_.servers)].protocol >
               kLastOpenProtocol;
}

std::optional<std::u16string> OptionMenus::askName(const char* caption, const char* prompt,
                                                   const std::u16string& current) {
    const InputBoxResult answer =
        ports_.dialogs.showInputBox({state_.tr(caption), state_.tr(prompt), current});
    if (!answer.isConfirmed) {
        return std::nullopt;
    }
    return sanitisedName(answer.text);
}

// ---- Channels and views (1015) ----------------------------------------------------------

OptionMenus::Built OptionMenus::channelsAndViews(std::int32_t selection) {
    const Presentation& presentation = state_.presentation;
    const std::u16string customise = state_.tr("customize") + u": ";
    Built menu{kChannelsFlags, state_.tr("chanOpt"), {}, selection};
    menu.items.push_back({customise + state_.tr("basecolors"), {}, {}, {}});
    for (const Channel& channel : presentation.channels) {
        menu.items.push_back({customise + channel.name, {}, {}, {}});
    }
    menu.items.push_back(plainItem("addchannel"));
    for (const View& view : presentation.views) {
        menu.items.push_back({customise + state_.tr("view") + u" " + view.name, {}, {}, {}});
    }
    for (const char* key : {"addview", "resetLightModel", "resetDarkModel", "back"}) {
        menu.items.push_back(plainItem(key));
    }
    return menu;
}

void OptionMenus::channelsChoice(MenuController& menus, std::int32_t index) {
    Presentation& presentation = state_.presentation;
    const std::int32_t channels = count(presentation.channels.size());
    const std::int32_t views = count(presentation.views.size());
    const std::int32_t total = channels + views + 6;
    if (index == 0) {
        (void)openLocalMenu(menus, kFontAndColours, 0);
    } else if (index >= 1 && index <= channels) {
        (void)openLocalMenu(menus, kChannelFirst + index - 1, 0);
    } else if (index >= channels + 2 && index <= channels + 1 + views) {
        (void)openLocalMenu(menus, kViewFirst + index - channels - 2, 0);
    } else if (index == channels + 1) {
        if (isProtocolLimited() || presentation.channels.size() >= kMaxAddedChannels) {
            inform("addchannel", "noaddchannel");
        } else if (const auto name = askName("channelname", "channelname2", u"");
                   name && !name->empty()) {
            presentation.channels.push_back({0, 0, 0, *name});
            presentation.publishFlags();
            reopen(menus, kChannels, index);
        }
    } else if (index == channels + 2 + views) {
        if (const auto name = askName("viewname", "viewname2", u""); name && !name->empty()) {
            presentation.views.push_back({0, *name});
            reopen(menus, kChannels, index);
        }
    } else if (index == total - 3 || index == total - 2) {
        if (confirm(index == total - 3 ? "resetLightModel" : "resetDarkModel", "resetModelMb")) {
            const std::int32_t protocol =
                state_.servers.empty()
                    ? BuiltInServer::kProtocol
                    : state_.servers[defaultServerIndex(state_.settings, state_.servers)].protocol;
            loadDefaultChannels(state_, protocol, index == total - 2);
            reopen(menus, kChannels, index);
        }
    } else {
        leave(menus);
        const std::size_t server = defaultServerIndex(state_.settings, state_.servers);
        (void)saveChannels(state_, server);
        (void)saveViews(state_, server);
    }
}

void OptionMenus::channelsKey(MenuController& menus, int virtualKey) {
    if (virtualKey != kVkDelete) {
        return;
    }
    Presentation& presentation = state_.presentation;
    const std::int32_t selected = menus.currentMenu()->selection;
    const std::int32_t channels = count(presentation.channels.size());
    const std::int32_t views = count(presentation.views.size());
    if (selected >= 1 && selected <= channels) {
        const std::int32_t channel = selected - 1;
        if (channel == 0 || isProtocolLimited()) {
            inform("nodelchannel2", "nodelchannel");
            return;
        }
        presentation.channels.erase(presentation.channels.begin() + channel);
        presentation.publishFlags();
        reopen(menus, kChannels, channel);
    } else if (selected >= channels + 2 && selected <= channels + 1 + views) {
        const std::int32_t view = selected - channels - 2;
        if (view == 0) {
            inform("nodelview2", "nodelview");
            return;
        }
        presentation.views.erase(presentation.views.begin() + view);
        if (presentation.currentView >= count(presentation.views.size())) {
            presentation.currentView = 0;
        }
        reopen(menus, kChannels, selected);
    }
}

// ---- Font and colours (1021) ------------------------------------------------------------

OptionMenus::Built OptionMenus::fontAndColours() {
    const ClientSettings& settings = state_.settings;
    Built menu{kListFlags, state_.tr("basecolors"), {}, 0};
    menu.items.push_back(
        {state_.tr("font") + settings.fontName + u" " + toWide(std::to_string(settings.fontSize)),
         {},
         {},
         {}});
    for (const char* key : {"rtfbgcolor", "lbbgcolor", "lbfgcolor"}) {
        menu.items.push_back(plainItem(key));
    }
    for (std::size_t k = 0; k < state_.presentation.customColours.size(); ++k) {
        const std::string number = std::to_string(k);
        // Drawn in the colour it names.
        menu.items.push_back({state_.tr("predefcol") + u" " + toWide(std::to_string(k + 1)) +
                                  u": " + state_.tr("predefcol" + number),
                              {},
                              {},
                              u"#" + toWide(number)});
    }
    menu.items.push_back(checkItem("disablertfcolors", settings.disableHistoryColors));
    menu.items.push_back(checkItem("disablemcolors", settings.disableMenuColors));
    menu.items.push_back(plainItem("back"));
    return menu;
}

void OptionMenus::fontChoice(MenuController& menus, std::int32_t index) {
    ClientSettings& settings = state_.settings;
    std::vector<std::uint32_t>& colours = state_.presentation.customColours;
    const std::int32_t customCount = count(colours.size());
    const auto chooseSetting = [&](std::int32_t& setting) {
        const auto chosen = static_cast<std::int32_t>(
            ports_.systemDialogs.chooseColour(static_cast<std::uint32_t>(setting)));
        hasChanged_ = hasChanged_ || chosen != setting;
        setting = chosen;
    };
    if (index == 0) {
        if (const auto font =
                ports_.systemDialogs.chooseFont({settings.fontName, settings.fontSize});
            font && ports_.window.applyFont(font->face, font->points)) {
            hasChanged_ = true;
        }
        menus.currentMenu()->items[0] = fontAndColours().items[0];
        menus.refreshAndAnnounce(false);
    } else if (index == 1) {
        chooseSetting(settings.rtfBgColor);
        ports_.window.setHistoryBackground(settings.rtfBgColor);
    } else if (index == 2 || index == 3) {
        chooseSetting(index == 2 ? settings.lbBgColor : settings.lbFgColor);
        ports_.window.redrawMenuList();
    } else if (index >= 4 && index < 4 + customCount) {
        std::uint32_t& colour = colours[static_cast<std::size_t>(index - 4)];
        colour = ports_.systemDialogs.chooseColour(colour);
        ports_.window.redrawMenuList();
    } else if (index == 4 + customCount) {
        settings.disableHistoryColors = !settings.disableHistoryColors;
        hasChanged_ = true;
        setCheckItem(menus, index, settings.disableHistoryColors);
    } else if (index == 5 + customCount) {
        settings.disableMenuColors = !settings.disableMenuColors;
        hasChanged_ = true;
        ports_.window.recreateMenuList();
        setCheckItem(menus, index, settings.disableMenuColors);
    } else {
        leave(menus);
    }
}

// ---- One channel (1100 + c) and one view (1200 + v) -------------------------------------

std::optional<OptionMenus::Built> OptionMenus::channelOptions(std::size_t channel,
                                                              std::int32_t selection) {
    if (channel >= state_.presentation.channels.size()) {
        return std::nullopt;
    }
    const Channel& c = state_.presentation.channels[channel];
    const bool isQuiet = selection >= kQuietReopen;
    const auto mode = [&](const char* key, std::uint32_t bits) {
        return MenuItem{state_.tr(key) + state_.tr("chf" + std::to_string(bits & 3)), {}, {}, {}};
    };
    Built menu{kListFlags,
               isQuiet ? u"" : state_.tr("customize") + u" " + c.name,
               {{state_.tr("name") + c.name, {}, {}, {}},
                mode("read", c.flags),
                checkItem("readinterrupt", (c.flags & channel_flag::kInterrupt) != 0),
                mode("playsnd", c.flags >> 3),
                plainItem("textcolor")},
               isQuiet ? selection - kQuietReopen : selection};
    for (std::size_t bit = 0; bit < 4; ++bit) {
        menu.items.push_back(checkItem(kStyleKeys[bit], (c.effects >> bit & 1) != 0));
    }
    menu.items.push_back(plainItem("back"));
    return menu;
}

std::optional<OptionMenus::Built> OptionMenus::viewOptions(std::size_t view,
                                                           std::int32_t selection) {
    const Presentation& presentation = state_.presentation;
    if (view >= presentation.views.size()) {
        return std::nullopt;
    }
    const View& v = presentation.views[view];
    const bool isQuiet = selection >= kQuietReopen;
    Built menu{kListFlags,
               isQuiet ? u"" : state_.tr("viewOpt"),
               {{state_.tr("name") + v.name, {}, {}, {}}},
               isQuiet ? selection - kQuietReopen : selection};
    for (std::size_t c = 0; c < presentation.channels.size(); ++c) {
        const bool isShown = c < 32 && (v.mask >> c & 1) != 0;
        menu.items.push_back(checkItem(state_.tr("show") + u" " + presentation.channels[c].name +
                                           u": " + yesNo(isShown),
                                       isShown));
    }
    menu.items.push_back(plainItem("back"));
    return menu;
}

void OptionMenus::channelChoice(MenuController& menus, std::size_t channel, std::int32_t index) {
    if (index < 0 || index >= kBackLine || channel >= state_.presentation.channels.size()) {
        leaveCustomisation(menus);
        return;
    }
    Channel& c = state_.presentation.channels[channel];
    if (index == kNameLine) {
        if (const auto name = askName("channelname", "channelname2", c.name)) {
            c.name = *name;
        }
    } else if (index == kReadLine) {
        c.flags = (c.flags & ~3u) | ((c.flags + 1) & 3u);
    } else if (index == kInterruptLine) {
        c.flags ^= channel_flag::kInterrupt;
    } else if (index == kSoundLine) {
        c.flags = (c.flags & ~0x18u) | ((((c.flags >> 3) + 1) & 3u) << 3);
    } else if (index == kColourLine) {
        c.colour = ports_.systemDialogs.chooseColour(c.colour);
    } else {
        c.effects ^= 1u << (index - kFirstStyleLine);
    }
    state_.presentation.publishFlags();
    reopen(menus, kChannelFirst + static_cast<std::int32_t>(channel), index + kQuietReopen);
}

void OptionMenus::viewChoice(MenuController& menus, std::size_t view, std::int32_t index) {
    Presentation& presentation = state_.presentation;
    const std::int32_t channels = count(presentation.channels.size());
    if (index < 0 || index > channels || view >= presentation.views.size()) {
        leaveCustomisation(menus);
        return;
    }
    View& v = presentation.views[view];
    if (index == 0) {
        if (const auto name = askName("viewname", "viewname2", v.name)) {
            v.name = *name;
        }
    } else {
        v.mask ^= 1u << (index - 1);
    }
    reopen(menus, kViewFirst + static_cast<std::int32_t>(view), index + kQuietReopen);
}

void OptionMenus::leaveCustomisation(MenuController& menus) {
    // Back in the channels menu, rebuilt with the new names, on the line it had.
    menus.popMenu();
    const Menu* below = menus.currentMenu();
    if (below && below->id == -kChannels) {
        const std::int32_t selection = below->selection;
        reopen(menus, kChannels, selection);
    } else {
        menus.refreshAndAnnounce(true);
    }
}

} // namespace vendrel
