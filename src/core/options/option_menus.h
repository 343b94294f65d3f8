#pragma once
// The client's own options, shown as menus in the menu list so that a player changes them
// with the keys they already know. Each menu is built from the settings when it opens and
// pushed with its command id negated; choices and the keys forwarded to it change the settings
// in place, rewrite the changed line, and save the settings when an options menu is left.
// Everything here runs on the GUI thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "menu/local_menus.h"
#include "menu/menu.h"

namespace vendrel {

struct AppState;
class AudioDevices;
class DialogService;
class HistorySink;
class MainWindow;
class MenuController;
class SoundEngine;
class Speech;
class SpeechLibrary;
class SystemDialogs;
class WindowControls;

struct OptionPorts {
    Speech& speech;
    SpeechLibrary& library;
    SoundEngine& sounds;
    AudioDevices& audio;
    HistorySink& history;
    DialogService& dialogs;
    SystemDialogs& systemDialogs;
    MainWindow& mainWindow;
    WindowControls& window;
    std::function<void()> restoreDefaults;
    // The spoken speech diagnosis, an item of the audio options.
    std::function<void()> diagnoseSpeech;
};

// Command ids of the local menus.
namespace option_menu {
inline constexpr std::int32_t kMain = 1012;
inline constexpr std::int32_t kGeneral = 1013;
inline constexpr std::int32_t kAudio = 1014;
inline constexpr std::int32_t kChannels = 1015;
inline constexpr std::int32_t kSecurity = 1016;
inline constexpr std::int32_t kSoundCard = 1020;
inline constexpr std::int32_t kFontAndColours = 1021;
inline constexpr std::int32_t kEngine = 1022;
inline constexpr std::int32_t kSubEngine = 1023;
inline constexpr std::int32_t kSpeechLanguage = 1024;
inline constexpr std::int32_t kVoice = 1025;
inline constexpr std::int32_t kLanguage = 1026;
inline constexpr std::int32_t kChannelFirst = 1100; // + channel
inline constexpr std::int32_t kViewFirst = 1200;    // + view
// A channel or view menu opened with a selection of this or more reopens quietly.
inline constexpr std::int32_t kQuietReopen = 128;
// The flags of most option lists: kept open, type-ahead, check marks drawn.
inline constexpr std::uint32_t kListFlags = MENU_KEEP_OPEN | MENU_TYPE_AHEAD | MENU_CHECK_MARKS;
} // namespace option_menu

// Names typed for channels and views are written to INI files and spoken in menus.
inline constexpr std::size_t kMaxOptionNameLength = 100;

class OptionMenus final : public LocalMenus {
public:
    OptionMenus(AppState& state, const OptionPorts& ports) : state_(state), ports_(ports) {}

    bool openLocalMenu(MenuController& menus, std::int32_t commandId,
                       std::int32_t selection) override;
    void localMenuChoice(MenuController& menus, std::int32_t commandId,
                         std::int32_t index) override;
    void localMenuKey(MenuController& menus, std::int32_t commandId, int virtualKey, bool shift,
                      bool ctrl, bool alt) override;

private:
    struct Built {
        std::uint32_t flags = 0;
        std::u16string title;
        std::vector<MenuItem> items;
        std::int32_t selection = 0;
    };

    std::optional<Built> build(std::int32_t commandId, std::int32_t selection);
    // option_menus.cpp: the main, general, security and language menus.
    Built mainMenu();
    Built generalOptions();
    Built securityOptions();
    std::optional<Built> languages(std::int32_t selection);
    void mainChoice(MenuController& menus, std::int32_t index);
    void generalChoice(MenuController& menus, std::int32_t index);
    void securityChoice(MenuController& menus, std::int32_t index);
    void languageChoice(MenuController& menus, std::int32_t index);
    // audio_options.cpp
    Built audioOptions(std::int32_t selection);
    std::vector<MenuItem> audioItems();
    std::optional<Built> soundCards();
    std::optional<Built> speechChoices(std::int32_t commandId);
    void audioChoice(MenuController& menus, std::int32_t index);
    void audioKey(MenuController& menus, std::int32_t step);
    void soundCardChoice(MenuController& menus, std::int32_t index);
    void speechChoice(MenuController& menus, std::int32_t commandId, std::int32_t index);
    // presentation_options.cpp
    Built channelsAndViews(std::int32_t selection);
    Built fontAndColours();
    std::optional<Built> channelOptions(std::size_t channel, std::int32_t selection);
    std::optional<Built> viewOptions(std::size_t view, std::int32_t selection);
    void channelsChoice(MenuController& menus, std::int32_t index);
    void channelsKey(MenuController& menus, int virtualKey);
    void fontChoice(MenuController& menus, std::int32_t index);
    void channelChoice(MenuController& menus, std::size_t channel, std::int32_t index);
    void viewChoice(MenuController& menus, std::size_t view, std::int32_t index);
    void leaveCustomisation(MenuController& menus);
    [[nodiscard]] bool isProtocolLimited() const;
    [[nodiscard]] std::optional<std::u16string> askName(const char* caption, const char* prompt,
                                                        const std::u16string& current);

    // Items and the menu stack.
    [[nodiscard]] std::u16string yesNo(bool value);
    [[nodiscard]] MenuItem plainItem(const char* key);
    [[nodiscard]] MenuItem checkItem(const std::u16string& text, bool value);
    [[nodiscard]] MenuItem checkItem(const char* key, bool value);
    void setCheckItem(MenuController& menus, std::int32_t index, bool value);
    void reopen(MenuController& menus, std::int32_t commandId, std::int32_t selection);
    // Leaves count menus; the menu below is announced and the settings saved when changed.
    void leave(MenuController& menus, std::int32_t count = 1);
    void saveIfChanged();
    [[nodiscard]] bool confirm(const char* caption, const char* text);
    void inform(const char* caption, const char* text);

    AppState& state_;
    OptionPorts ports_;
    bool hasChanged_ = false;
};

} // namespace vendrel
