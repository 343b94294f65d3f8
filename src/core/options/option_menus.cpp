#include "options/option_menus.h"

#include <algorithm>
#include <filesystem>

#include "app/app_state.h"
#include "app/daily_log.h"
#include "app/files.h"
#include "app/virtual_keys.h"
#include "config/config_file.h"
#include "config/language.h"
#include "menu/menu_controller.h"
#include "ports/dialog_service.h"
#include "ports/main_window.h"
#include "ports/system_dialogs.h"
#include "ports/window_controls.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using namespace option_menu;

constexpr std::uint32_t kQuestionBox = 0x34;    // Yes and No, warning icon
constexpr std::uint32_t kInformationBox = 0x40; // OK, information icon
constexpr std::int32_t kAnswerYes = 6;

bool isLanguageFile(const std::filesystem::path& path) {
    std::string extension = utf8FromPath(path.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return extension == ".lng";
}

// The language files of both folders, each name once, in alphabetical order.
std::vector<std::u16string> languageNames(const Folders& folders) {
    std::vector<std::u16string> names;
    for (const std::string& folder : {folders.user, folders.program}) {
        for (const auto& file : filesIn(folder)) {
            if (isLanguageFile(file)) {
                const std::u16string name = toWide(utf8FromPath(file.stem()));
                if (std::find(names.begin(), names.end(), name) == names.end()) {
                    names.push_back(name);
                }
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

bool OptionMenus::openLocalMenu(MenuController& menus, std::int32_t commandId,
                                std::int32_t selection) {
    std::optional<Built> menu = build(commandId, selection);
    if (!menu) {
        return false;
    }
    menus.pushLocalMenu(-commandId, menu->flags, menu->selection, menu->title,
                        std::move(menu->items));
    return true;
}

std::optional<OptionMenus::Built> OptionMenus::build(std::int32_t commandId,
                                                     std::int32_t selection) {
    switch (commandId) {
    case kMain:
        return mainMenu();
    case kGeneral:
        return generalOptions();
    case kAudio:
        return audioOptions(selection);
    case kChannels:
        return channelsAndViews(selection);
    case kSecurity:
        return securityOptions();
    case kSoundCard:
        return soundCards();
    case kFontAndColours:
        return fontAndColours();
    case kEngine:
    case kSubEngine:
    case kSpeechLanguage:
    case kVoice:
        return speechChoices(commandId);
    case kLanguage:
        return languages(selection);
    default:
        if (commandId >= kChannelFirst && commandId < kViewFirst) {
            return channelOptions(static_cast<std::size_t>(commandId - kChannelFirst), selection);
        }
        if (commandId >= kViewFirst && commandId < kViewFirst + 32) {
            return viewOptions(static_cast<std::size_t>(commandId - kViewFirst), selection);
        }
        return std::nullopt;
    }
}

void OptionMenus::localMenuChoice(MenuController& menus, std::int32_t commandId,
                                  std::int32_t index) {
    switch (commandId) {
    case kMain:
        return mainChoice(menus, index);
    case kGeneral:
        return generalChoice(menus, index);
    case kAudio:
        return audioChoice(menus, index);
    case kChannels:
        return channelsChoice(menus, index);
    case kSecurity:
        return securityChoice(menus, index);
    case kSoundCard:
        return soundCardChoice(menus, index);
    case kFontAndColours:
        return fontChoice(menus, index);
    case kEngine:
    case kSubEngine:
    case kSpeechLanguage:
    case kVoice:
        return speechChoice(menus, commandId, index);
    case kLanguage:
        return languageChoice(menus, index);
    default:
        if (commandId >= kChannelFirst && commandId < kViewFirst) {
            return channelChoice(menus, static_cast<std::size_t>(commandId - kChannelFirst), index);
        }
        if (commandId >= kViewFirst) {
            return viewChoice(menus, static_cast<std::size_t>(commandId - kViewFirst), index);
        }
        leave(menus);
    }
}

void OptionMenus::localMenuKey(MenuController& menus, std::int32_t commandId, int virtualKey,
                               bool shift, bool ctrl, bool alt) {
    if (shift || ctrl || alt) {
        return;
    }
    if (commandId == kAudio && (virtualKey == kVkLeft || virtualKey == kVkRight)) {
        audioKey(menus, virtualKey == kVkLeft ? -1 : 1);
    } else if (commandId == kChannels) {
        channelsKey(menus, virtualKey);
    }
}

// ---- Items and the stack ----------------------------------------------------------------

std::u16string OptionMenus::yesNo(bool value) {
    return state_.tr(value ? "yes" : "no");
}

MenuItem OptionMenus::plainItem(const char* key) {
    return {state_.tr(key), {}, {}, {}};
}

MenuItem OptionMenus::checkItem(const std::u16string& text, bool value) {
    return {text, {}, value ? u"menuchecked" : u"menuunchecked", {}};
}

MenuItem OptionMenus::checkItem(const char* key, bool value) {
    return checkItem(state_.tr(key) + yesNo(value), value);
}

void OptionMenus::setCheckItem(MenuController& menus, std::int32_t index, bool value) {
    Menu* menu = menus.currentMenu();
    if (!menu || !menu->isValidIndex(index)) {
        return;
    }
    MenuItem& item = menu->items[static_cast<std::size_t>(index)];
    // A label that can be toggled in place holds a tab; its value is what follows it.
    const std::size_t tab = item.text.find(u'\t');
    item.text = (tab == std::u16string::npos ? std::u16string() : item.text.substr(0, tab + 1)) +
                yesNo(value);
    item.sound = value ? u"menuchecked" : u"menuunchecked";
    menus.refreshAndAnnounce(false);
}

void OptionMenus::reopen(MenuController& menus, std::int32_t commandId, std::int32_t selection) {
    menus.popMenu();
    if (!openLocalMenu(menus, commandId, selection)) {
        menus.refreshAndAnnounce(true);
    }
}

void OptionMenus::leave(MenuController& menus, std::int32_t count) {
    menus.closeMenus(-count);
    saveIfChanged();
}

void OptionMenus::saveIfChanged() {
    // A crash after an options menu was left loses nothing the player set.
    if (hasChanged_) {
        hasChanged_ = false;
        (void)saveConfig(state_);
    }
}

bool OptionMenus::confirm(const char* caption, const char* text) {
    return ports_.dialogs.showMessageBox(state_.tr(caption), state_.tr(text), kQuestionBox) ==
           kAnswerYes;
}

void OptionMenus::inform(const char* caption, const char* text) {
    (void)ports_.dialogs.showMessageBox(state_.tr(caption), state_.tr(text), kInformationBox);
}

// ---- Options main menu (1012) -----------------------------------------------------------

OptionMenus::Built OptionMenus::mainMenu() {
    Built menu{MENU_KEEP_OPEN | MENU_TYPE_AHEAD, u"", {}, 0};
    for (const char* key :
         {"genOpt", "audioOpt", "chanOpt", "secuOpt", "restoredefaults", "back"}) {
        menu.items.push_back(plainItem(key));
    }
    return menu;
}

void OptionMenus::mainChoice(MenuController& menus, std::int32_t index) {
    if (index >= 0 && index <= 3) {
        (void)openLocalMenu(menus, kGeneral + index, 0);
    } else if (index == 4) {
        if (confirm("restoredefaults", "restoredefaults1")) {
            if (ports_.restoreDefaults) {
                ports_.restoreDefaults();
            }
        } else {
            ports_.window.focusMenuList();
        }
    } else {
        leave(menus);
    }
}

// ---- General options (1013) -------------------------------------------------------------

OptionMenus::Built OptionMenus::generalOptions() {
    ClientSettings& settings = state_.settings;
    if (settings.logDir.empty()) {
        settings.logDir = state_.folders.user;
    }
    return {kListFlags,
            state_.tr("genOpt"),
            {checkItem("askconfbq", settings.confirmOnExit),
             checkItem("autolog", settings.isDailyLogOn),
             {state_.tr("logfolder") + toWide(settings.logDir), {}, {}, {}},
             plainItem("back")},
            0};
}

void OptionMenus::generalChoice(MenuController& menus, std::int32_t index) {
    ClientSettings& settings = state_.settings;
    if (index == 0) {
        settings.confirmOnExit = !settings.confirmOnExit;
        hasChanged_ = true;
        setCheckItem(menus, 0, settings.confirmOnExit);
    } else if (index == 1) {
        settings.isDailyLogOn = !settings.isDailyLogOn;
        hasChanged_ = true;
        state_.dailyLog.close();
        if (settings.isDailyLogOn) {
            (void)openDailyLog(state_);
        }
        setCheckItem(menus, 1, settings.isDailyLogOn);
    } else if (index == 2) {
        const std::optional<std::string> folder =
            ports_.systemDialogs.chooseFolder(state_.tr("logfolder2"), settings.logDir);
        if (!folder) {
            return;
        }
        settings.logDir = *folder;
        hasChanged_ = true;
        menus.currentMenu()->items[2].text = state_.tr("logfolder") + toWide(*folder);
        menus.refreshAndAnnounce(false);
        if (settings.isDailyLogOn) {
            (void)openDailyLog(state_);
        }
    } else {
        leave(menus);
    }
}

// ---- Security options (1016) ------------------------------------------------------------

OptionMenus::Built OptionMenus::securityOptions() {
    const ClientSettings& settings = state_.settings;
    return {kListFlags,
            state_.tr("secuOpt"),
            {checkItem("rememberpassword2", settings.rememberPasswords),
             checkItem("enablelinks", settings.allowAutoLinks),
             checkItem("enabledownload", settings.allowDownloads), plainItem("back")},
            0};
}

void OptionMenus::securityChoice(MenuController& menus, std::int32_t index) {
    ClientSettings& settings = state_.settings;
    bool value = false;
    if (index == 0) {
        value = settings.rememberPasswords = !settings.rememberPasswords;
        for (ServerEntry& server : state_.servers) {
            server.rememberPassword = value;
        }
    } else if (index == 1) {
        value = settings.allowAutoLinks = !settings.allowAutoLinks;
        ports_.window.setAutomaticLinks(value);
    } else if (index == 2) {
        value = settings.allowDownloads = !settings.allowDownloads;
    } else {
        leave(menus);
        return;
    }
    hasChanged_ = true;
    setCheckItem(menus, index, value);
}

// ---- Client language (1026) -------------------------------------------------------------

std::optional<OptionMenus::Built> OptionMenus::languages(std::int32_t selection) {
    const std::vector<std::u16string> names = languageNames(state_.folders);
    if (names.size() < 2) {
        return std::nullopt;
    }
    Built menu{kListFlags, state_.tr("clientlanguage"), {}, selection};
    for (std::size_t i = 0; i < names.size(); ++i) {
        menu.items.push_back({names[i], {}, {}, {}});
        if (toNarrow(names[i]) == state_.settings.languageName) {
            menu.selection = static_cast<std::int32_t>(i);
        }
    }
    menu.items.push_back(plainItem("back"));
    return menu;
}

void OptionMenus::languageChoice(MenuController& menus, std::int32_t index) {
    const Menu* menu = menus.currentMenu();
    if (index >= 0 && index + 1 < menu->itemCount()) {
        state_.settings.languageName = toNarrow(menu->items[static_cast<std::size_t>(index)].text);
        hasChanged_ = true;
    }
    (void)loadLanguage(state_, true);
    const ServerEntry& server = state_.servers[defaultServerIndex(state_.settings, state_.servers)];
    ports_.mainWindow.setTitle(
        formatWide(512, state_.tr("winTitle2"), server.name, toWide(server.login)));
    leave(menus, 3);
}

} // namespace vendrel
