#include "speech/speech_switch.h"

#include "config/message_table.h"
#include "speech/speech_backend.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {
namespace {

constexpr std::size_t kAnnouncementSize = 512;

std::string nameOf(const SpeechBackend* backend) {
    return backend != nullptr ? toNarrow(backend->name()) : "none";
}

} // namespace

bool isAnnounced(const SpeechSwitch& change) {
    if (change.next == nullptr) {
        return false; // nothing could say it
    }
    const bool isMoved = !change.isFirstText && change.next != change.previous;
    // A fresh choice (or the program's start with one in config.ini) is expected to speak.
    const bool isChoiceIgnored = (change.isFirstText || change.isChoiceChanged) &&
                                 change.chosen != nullptr && change.next != change.chosen;
    return isMoved || isChoiceIgnored;
}

std::u16string announcementText(const SpeechSwitch& change, MessageTable& messages) {
    const std::u16string next = change.next != nullptr ? change.next->name() : u"";
    if (change.chosen != nullptr && change.chosen != change.next) {
        return formatWide(kAnnouncementSize, messages.tr("speechChosenLost"), change.chosen->name(),
                          next);
    }
    return formatWide(kAnnouncementSize, messages.tr("speechNow"), next);
}

bool isLogged(const SpeechSwitch& change) {
    return change.isFirstText || change.isChoiceChanged || change.next != change.previous;
}

std::string switchReason(const SpeechSwitch& change) {
    std::string reason;
    const auto add = [&](const std::string& part) {
        reason += reason.empty() ? part : "; " + part;
    };
    if (change.isFirstText) {
        add("first text");
    }
    if (change.isChoiceChanged) {
        add("the player chose " +
            (change.chosen != nullptr ? nameOf(change.chosen) : "automatic selection"));
    }
    // Screen readers that were never running are no news; the one that spoke, the one chosen
    // and any that failed are.
    for (const PassedBackend& passed : change.passed) {
        if (passed.hasFailed || passed.backend == change.previous ||
            passed.backend == change.chosen) {
            add(nameOf(passed.backend) +
                (passed.hasFailed ? " could not speak" : " is not running"));
        }
    }
    if (reason.empty() && change.next != nullptr) {
        // Ranked before the one that spoke, or anything at all after silence: it came up.
        add(nameOf(change.next) + " is running now");
    }
    return reason;
}

} // namespace vendrel
