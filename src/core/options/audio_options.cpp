// The audio and speech options (1014), the sound card (1020) and the speech engine, sub-engine,
// language and voice lists (1022 to 1025).

#include <cmath>

#include "app/app_state.h"
#include "audio/audio_devices.h"
#include "audio/sound_engine.h"
#include "history/history.h"
#include "menu/menu_controller.h"
#include "options/option_menus.h"
#include "ports/history_sink.h"
#include "speech/speech.h"
#include "speech/speech_ids.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using namespace option_menu;

constexpr std::uint32_t kAudioFlags = kListFlags | MENU_KEYS_TO_MENU; // 27
constexpr std::int32_t kArrowHintChannel = kDownloadChannel | kInterruptRequest;
// A broken speech library that never ends its list must not hang the menu.
constexpr std::int32_t kMaxListedNames = 1000;

// Audio options lines.
constexpr std::int32_t kCardLine = 0;
constexpr std::int32_t kSoundsLine = 1;
constexpr std::int32_t kStreamsLine = 2;
constexpr std::int32_t kNoStreamsLine = 3;
constexpr std::int32_t kNoSoundsLine = 4;
constexpr std::int32_t kEngineLine = 5;
constexpr std::int32_t kFirstParameterLine = 9; // volume, rate, pitch, inflexion
constexpr std::int32_t kDiagnosisLine = 13;
[[maybe_unused]] constexpr std::int32_t kBackLine = 14;
constexpr std::int32_t kParameters[] = {speech_id::kVolume, speech_id::kRate, speech_id::kPitch,
                                        speech_id::kInflexion};
constexpr const char* kParameterKeys[] = {"srvolume", "srrate", "srpitch", "srinflexion"};

struct SpeechList {
    std::int32_t base;
    std::int32_t ClientSettings::*setting;
    const char* titleKey;
    std::int32_t audioLine;
};

SpeechList speechList(std::int32_t commandId) {
    switch (commandId) {
    case kSubEngine:
        return {speech_id::kSubEngine, &ClientSettings::srSubEngine, "srsubengine", 6};
    case kSpeechLanguage:
        return {speech_id::kLanguage, &ClientSettings::srLanguage, "srlanguage", 7};
    case kVoice:
        return {speech_id::kVoice, &ClientSettings::srVoice, "srvoice", 8};
    default:
        return {speech_id::kEngine, &ClientSettings::srEngine, "screenreader", kEngineLine};
    }
}

std::int32_t& parameterSetting(ClientSettings& settings, std::int32_t base) {
    switch (base) {
    case speech_id::kVolume:
        return settings.srVolume;
    case speech_id::kRate:
        return settings.srRate;
    case speech_id::kPitch:
        return settings.srPitch;
    default:
        return settings.srInflexion;
    }
}

int percent(float volume) {
    return static_cast<int>(std::lround(volume * 100.0f));
}

} // namespace

std::vector<MenuItem> OptionMenus::audioItems() {
    const ClientSettings& settings = state_.settings;
    SpeechLibrary& library = ports_.library;
    const auto named = [&](const char* key, std::int32_t base) {
        const std::int32_t index = library.speechGetValue(base);
        return MenuItem{
            state_.tr(key) + library.speechGetString(base + index).value_or(u""), {}, {}, {}};
    };
    std::vector<MenuItem> items;
    items.push_back(
        {state_.tr("soundcard") +
             (settings.audioDevice > 1 ? toWide(settings.soundDevice) : state_.tr("automatic")),
         {},
         {},
         {}});
    items.push_back(
        {formatWide(255, state_.tr("soundvolume"), percent(ports_.sounds.soundsVolume())),
         {},
         {},
         {}});
    items.push_back(
        {formatWide(255, state_.tr("streamsvolume"), percent(ports_.sounds.streamsVolume())),
         {},
         {},
         {}});
    items.push_back(checkItem("disablestreams", !settings.areStreamsEnabled));
    items.push_back(checkItem("disablesounds", !settings.areSoundsEnabled));
    items.push_back(
        {state_.tr("screenreader") +
             (settings.srEngine >= 0
                  ? library.speechGetString(speech_id::kEngine + settings.srEngine).value_or(u"")
                  : state_.tr("automatic")),
         {},
         {},
         {}});
    items.push_back(named("srsubengine", speech_id::kSubEngine));
    items.push_back(named("srlanguage", speech_id::kLanguage));
    items.push_back(named("srvoice", speech_id::kVoice));
    for (std::size_t i = 0; i < std::size(kParameters); ++i) {
        items.push_back(
            {state_.tr(kParameterKeys[i]) + ports_.speech.speechValueText(kParameters[i]),
             {},
             {},
             {}});
    }
    items.push_back(plainItem("speechdiagnosis"));
    items.push_back(plainItem("back"));
    return items;
}

OptionMenus::Built OptionMenus::audioOptions(std::int32_t selection) {
    return {kAudioFlags, state_.tr("audioOpt"), audioItems(), selection};
}

void OptionMenus::audioChoice(MenuController& menus, std::int32_t index) {
    ClientSettings& settings = state_.settings;
    if (index == kCardLine) {
        (void)openLocalMenu(menus, kSoundCard, 0);
    } else if (index == kSoundsLine || index == kStreamsLine ||
               (index >= kFirstParameterLine && index < kDiagnosisLine)) {
        // These move with the arrow keys; Enter only says so.
        ports_.history.historyAdd(state_.tr("useArrows"), kArrowHintChannel);
    } else if (index == kNoStreamsLine) {
        settings.areStreamsEnabled = !settings.areStreamsEnabled;
        hasChanged_ = true;
        ports_.sounds.setStreamsEnabled(settings.areStreamsEnabled);
        setCheckItem(menus, index, !settings.areStreamsEnabled);
        if (!settings.areStreamsEnabled) {
            ports_.sounds.stopAllStreams();
        }
    } else if (index == kNoSoundsLine) {
        settings.areSoundsEnabled = !settings.areSoundsEnabled;
        hasChanged_ = true;
        ports_.sounds.setSoundsEnabled(settings.areSoundsEnabled);
        setCheckItem(menus, index, !settings.areSoundsEnabled);
        if (!settings.areSoundsEnabled) {
            ports_.sounds.stopAllSounds();
        }
    } else if (index >= kEngineLine && index < kFirstParameterLine) {
        (void)openLocalMenu(menus, kEngine + index - kEngineLine, 0);
    } else if (index == kDiagnosisLine) {
        if (ports_.diagnoseSpeech) {
            ports_.diagnoseSpeech();
        }
    } else {
        leave(menus);
    }
}

void OptionMenus::audioKey(MenuController& menus, std::int32_t step) {
    Menu* menu = menus.currentMenu();
    const std::int32_t line = menu->selection;
    ClientSettings& settings = state_.settings;
    std::u16string said;
    if (line == kSoundsLine) {
        said = formatWide(8, u"%d%%", ports_.sounds.setSoundsVolume(5 * step, true));
        settings.soundVolume = ports_.sounds.soundsVolume();
    } else if (line == kStreamsLine) {
        said = formatWide(8, u"%d%%", ports_.sounds.setStreamsVolume(5 * step, true));
        settings.streamVolume = ports_.sounds.streamsVolume();
    } else if (line >= kFirstParameterLine && line < kDiagnosisLine) {
        const std::int32_t base = kParameters[line - kFirstParameterLine];
        // What the engine has now, or "not supported" when it kept its value.
        said = ports_.speech.stepSpeechValue(base, step);
        // Kept in the settings, so the voice sounds the same at the next start.
        if (ports_.library.speechGetValue(base + speech_id::kSupportedOffset) != 0) {
            parameterSetting(settings, base) = ports_.library.speechGetValue(base);
        }
    } else {
        return;
    }
    hasChanged_ = true;
    const std::vector<MenuItem> fresh = audioItems();
    for (const std::int32_t changed : {kSoundsLine, kStreamsLine, 9, 10, 11, 12}) {
        menu->items[static_cast<std::size_t>(changed)] = fresh[static_cast<std::size_t>(changed)];
    }
    menus.refillKeepingSelection();
    ports_.speech.say(said, true);
}

// ---- Sound card (1020) ------------------------------------------------------------------

std::optional<OptionMenus::Built> OptionMenus::soundCards() {
    const std::int32_t current = state_.settings.audioDevice;
    Built menu{kListFlags, state_.tr("soundcard"), {}, current - 1};
    menu.items.push_back(checkItem(state_.tr("automatic"), current == 1));
    const std::vector<std::string> names = ports_.audio.deviceNames();
    for (std::size_t i = 1; i < names.size(); ++i) {
        menu.items.push_back(
            checkItem(toWide(names[i]), static_cast<std::int32_t>(i) + 1 == current));
    }
    menu.items.push_back(plainItem("back"));
    return menu;
}

void OptionMenus::soundCardChoice(MenuController& menus, std::int32_t index) {
    const Menu* menu = menus.currentMenu();
    if (index >= 0 && index + 1 < menu->itemCount()) {
        ports_.audio.selectAudioDevice(index + 1);
        hasChanged_ = true;
    }
    menus.popMenu();
    Menu* below = menus.currentMenu();
    if (below && below->id == -kAudio && below->isValidIndex(kCardLine)) {
        below->items[kCardLine] = audioItems()[kCardLine];
    }
    menus.refreshAndAnnounce(true);
    saveIfChanged();
}

// ---- Speech engine, sub-engine, language and voice (1022 to 1025) -----------------------

std::optional<OptionMenus::Built> OptionMenus::speechChoices(std::int32_t commandId) {
    const SpeechList list = speechList(commandId);
    SpeechLibrary& library = ports_.library;
    const std::int32_t setting = state_.settings.*list.setting;
    Built menu{kListFlags, state_.tr(list.titleKey), {}, library.speechGetValue(list.base)};
    const bool isEngine = commandId == kEngine;
    if (isEngine) {
        menu.items.push_back(checkItem(state_.tr("automatic"), setting == -1));
        menu.selection = setting + 1;
    }
    for (std::int32_t i = 0; i < kMaxListedNames; ++i) {
        const std::optional<std::u16string> name = library.speechGetString(list.base + i);
        if (!name) {
            break;
        }
        menu.items.push_back(checkItem(*name, i == setting));
    }
    if (menu.items.empty()) {
        return std::nullopt; // nothing to choose: the audio options stay in front
    }
    menu.items.push_back(plainItem("back"));
    return menu;
}

void OptionMenus::speechChoice(MenuController& menus, std::int32_t commandId, std::int32_t index) {
    const SpeechList list = speechList(commandId);
    SpeechLibrary& library = ports_.library;
    const Menu* menu = menus.currentMenu();
    if (index >= 0 && index + 1 < menu->itemCount()) {
        const std::int32_t value = commandId == kEngine ? index - 1 : index;
        state_.settings.*list.setting = value;
        hasChanged_ = true;
        if (commandId == kEngine) {
            library.speechSetValue(speech_id::kEngineChosen, value >= 0 ? 1 : 0);
        }
        library.speechSetValue(list.base, value);
        if (value >= 0) {
            ports_.speech.say(library.speechGetString(list.base + value).value_or(u""), true);
        }
        if (commandId == kEngine) {
            ports_.speech.updateEngineSpeaksMenus();
            if (value == speech_id::kJawsEngine) {
                ports_.speech.writeJawsConfig();
            }
        }
    }
    // The audio options are built again, so they show the new value.
    menus.popMenu();
    menus.popMenu();
    (void)openLocalMenu(menus, kAudio, list.audioLine);
    saveIfChanged();
}

} // namespace vendrel
