#include "speech/speech.h"

#include <algorithm>
#include <fstream>
#include <optional>

#include "app/app_state.h"
#include "app/files.h"
#include "speech/speech_ids.h"
#include "text/format.h"

namespace vendrel {
namespace {

// The folder came into a 512-byte buffer with room for its terminator; a longer one would
// have been cut, and a cut path names some other folder.
constexpr std::size_t kJawsFolderCapacity = 511;

struct Range {
    std::int64_t value = 0;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
};

// Nothing when the engine lacks the parameter, or reports a range that has no width (the
// percentage would divide by zero).
std::optional<Range> supportedRange(SpeechLibrary& library, std::int32_t base) {
    if (library.speechGetValue(base + speech_id::kSupportedOffset) == 0) {
        return std::nullopt;
    }
    Range range{library.speechGetValue(base),
                library.speechGetValue(base + speech_id::kMinimumOffset),
                library.speechGetValue(base + speech_id::kMaximumOffset)};
    if (range.maximum <= range.minimum) {
        return std::nullopt;
    }
    return range;
}

// A step is a twentieth of the range, whatever the engine's own scale, but never nothing.
std::int64_t steppedValue(const Range& range, std::int32_t steps) {
    const std::int64_t step = std::max<std::int64_t>((range.maximum - range.minimum) / 20, 1);
    return std::clamp(range.value + step * steps, range.minimum, range.maximum);
}

std::int32_t percentOf(std::int64_t value, const Range& range) {
    return static_cast<std::int32_t>((value - range.minimum) * 100 /
                                     (range.maximum - range.minimum));
}

} // namespace

void Speech::say(const std::u16string& text, bool interrupt) {
    library_.speechSay(text, interrupt);
}

void Speech::braille(const std::u16string& text) {
    library_.brailleDisplay(text);
}

bool Speech::initSpeech() {
    DebugLog& log = state_.debugLog;
    const ClientSettings& settings = state_.settings;
    log.line("Initializing TalkBridge...");
    library_.speechSetValue(speech_id::kEngineChosen, settings.srEngine >= 0 ? 1 : 0);
    const std::pair<std::int32_t, std::int32_t> values[] = {
        {speech_id::kEngine, settings.srEngine},     {speech_id::kSubEngine, settings.srSubEngine},
        {speech_id::kLanguage, settings.srLanguage}, {speech_id::kVoice, settings.srVoice},
        {speech_id::kVolume, settings.srVolume},     {speech_id::kRate, settings.srRate},
        {speech_id::kPitch, settings.srPitch},       {speech_id::kInflexion, settings.srInflexion},
    };
    for (const auto& [id, value] : values) {
        // Negative: the engine's own choice stays.
        if (value >= 0) {
            library_.speechSetValue(id, value);
        }
    }
    const std::int32_t engine = library_.speechGetValue(speech_id::kEngine);
    engineSpeaksMenus_ = engine == speech_id::kSapiEngine;
    if (engine == speech_id::kJawsEngine) {
        writeJawsConfig();
    } else if (engine == 1 || engine == 5) {
        // Engines 1 and 5 always get the list and history in the system colours.
        state_.settings.disableHistoryColors = true;
        state_.settings.disableMenuColors = true;
    }
    log.line("Speech engine selected: #",
             std::to_string(library_.speechGetValue(speech_id::kEngine)));
    log.line("Speech initialized OK");
    return true;
}

void Speech::writeJawsConfig() {
    const std::optional<std::string> folder = library_.jfwGetUserSettingsDirectory();
    if (!folder || folder->empty() || folder->size() > kJawsFolderCapacity) {
        return;
    }
    // The folder comes with its separator; nothing is inserted.
    const auto path = pathFromUtf8(*folder + kJawsConfigName);
    if (std::ifstream(path).is_open()) {
        return; // the player's own, perhaps edited: never replaced
    }
    std::ofstream out(path, std::ios::binary);
    out << "[options]\r\nMSAAMode=3\r\n[MSAAClasses]\r\nSysListView32=0\r\n";
}

std::u16string Speech::speechValueText(std::int32_t base) {
    const auto range = supportedRange(library_, base);
    if (!range) {
        return state_.tr("notsupported");
    }
    return formatWide(16, u"%d%%", percentOf(range->value, *range));
}

std::int32_t Speech::adjustSpeechValue(std::int32_t base, std::int32_t steps) {
    const auto range = supportedRange(library_, base);
    if (!range) {
        return 0;
    }
    const std::int64_t wanted = steppedValue(*range, steps);
    library_.speechSetValue(base, static_cast<std::int32_t>(wanted));
    return percentOf(wanted, *range);
}

std::u16string Speech::stepSpeechValue(std::int32_t base, std::int32_t steps) {
    const auto before = supportedRange(library_, base);
    if (!before) {
        return state_.tr("notsupported");
    }
    (void)adjustSpeechValue(base, steps);
    const auto after = supportedRange(library_, base);
    // An engine that keeps its old value while a new one was asked for did not take it; saying
    // the asked-for percentage would claim a change the player cannot hear.
    const std::int64_t wanted = steppedValue(*before, steps);
    if (!after || (after->value == before->value && wanted != before->value)) {
        return state_.tr("notsupported");
    }
    return formatWide(16, u"%d%%", percentOf(after->value, *after));
}

void Speech::updateEngineSpeaksMenus() {
    engineSpeaksMenus_ = library_.speechGetValue(speech_id::kEngine) == speech_id::kSapiEngine;
}

void Speech::nextVoice() {
    ClientSettings& settings = state_.settings;
    std::int32_t voice = -1;
    if (library_.speechGetValue(speech_id::kEngine) == speech_id::kSapiEngine) {
        voice = library_.speechGetValue(speech_id::kVoice);
    } else {
        settings.srEngine = speech_id::kSapiEngine;
        library_.speechSetValue(speech_id::kEngine, speech_id::kSapiEngine);
    }
    const std::int32_t next = std::max(voice, -1) + 1;
    const auto name = library_.speechGetString(speech_id::kVoice + next);
    if (!name || name->empty()) {
        // Past the last voice (or no voice at all, or one with no name to say): back to the
        // screen reader.
        settings.srEngine = speech_id::kAutomaticEngine;
        library_.speechSetValue(speech_id::kEngine, speech_id::kAutomaticEngine);
        say(state_.tr("sapidisabled"), true);
    } else {
        settings.srVoice = next;
        library_.speechSetValue(speech_id::kVoice, next);
        say(*name, true);
    }
    updateEngineSpeaksMenus();
}

void Speech::changeRate(std::int32_t steps) {
    say(stepSpeechValue(speech_id::kRate, steps), true);
}

} // namespace vendrel
