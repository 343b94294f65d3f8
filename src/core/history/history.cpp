#include "history/history.h"

#include "app/app_state.h"
#include "history/history_line.h"
#include "history/presentation.h"
#include "ports/gui_thread.h"
#include "ports/history_pane.h"
#include "ports/shell.h"
#include "ports/speech_output.h"
#include "resource.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {
namespace {

// Before any presentation is loaded a line is still spoken and shown.
const Channel kNoPresentationChannel{channel_flag::kSpeakInForeground |
                                         channel_flag::kSpeakInBackground,
                                     text_effect::kDefaultColour, 0, u""};

constexpr int kUnknownChannelTone = 800; // Hz
constexpr int kUnknownChannelToneMs = 150;

} // namespace

void History::add(const std::u16string& text, std::int32_t channelWord) {
    const Presentation& presentation = state_.presentation;
    const std::int32_t index = channelWord & 31;
    // A channel beyond the table takes channel 0's presentation (its tone was heard already).
    const Channel* channel = presentation.channel(index);
    if (!channel) {
        channel = presentation.channel(0) ? presentation.channel(0) : &kNoPresentationChannel;
    }
    std::uint32_t flags = channel->flags;
    if (channelWord & kInterruptRequest) {
        flags |= channel_flag::kInterrupt;
    }
    // Spoken before it is shown: the rich text control can be slow, speech must not wait.
    if (!isReadingMuted_) {
        const std::uint32_t speakFlag = ports_.isForeground() ? channel_flag::kSpeakInForeground
                                                              : channel_flag::kSpeakInBackground;
        if (flags & speakFlag) {
            ports_.speech.say(speakableText(text), (flags & channel_flag::kInterrupt) != 0);
        }
    }
    if (flags & channel_flag::kHidden) {
        return;
    }
    entries_.push_back({index, text});
    HistoryLineLayout layout = layoutHistoryLine(text, *channel, presentation.customColours,
                                                 !state_.settings.disableHistoryColors);
    if (layout.cutLength > 0) {
        layout.segments.push_back({formatWide(256, state_.tr("historyLineCut"),
                                              static_cast<std::int32_t>(layout.cutLength)),
                                   text_effect::kItalic | text_effect::kDefaultColour, 0,
                                   !state_.settings.disableHistoryColors});
    }
    ports_.pane.appendLine(layout.segments);
    state_.dailyLog.line(toNarrow(text));
}

bool History::isVisible(std::size_t entry) const {
    return state_.presentation.isInCurrentView(entries_[entry].channel);
}

bool History::isReviewPositionValid() const {
    return reviewPosition_ >= 0 && static_cast<std::size_t>(reviewPosition_) < entries_.size();
}

void History::review(std::int32_t count) {
    if (entries_.empty()) {
        return;
    }
    const std::int64_t size = static_cast<std::int64_t>(entries_.size());
    const std::int64_t step = count > 0 ? 1 : -1;
    std::int64_t remaining = count;
    std::int64_t position = reviewPosition_;
    // Before anything was reviewed, going back starts from the newest line: the player who
    // presses Page Up wants the line just missed, not silence.
    const std::int64_t first = position < 0 && step < 0 ? size - 1 : position + step;
    // Invisible entries are passed over; at either end the last visible entry reached stays.
    for (std::int64_t i = first; i >= 0 && i < size && remaining != 0; i += step) {
        if (isVisible(static_cast<std::size_t>(i))) {
            position = i;
            remaining -= step;
        }
    }
    reviewPosition_ = static_cast<std::int32_t>(position);
    if (!isReviewPositionValid() || !isVisible(static_cast<std::size_t>(position))) {
        return;
    }
    const std::u16string spoken = speakableText(entries_[static_cast<std::size_t>(position)].text);
    ports_.speech.say(spoken, true);
    ports_.speech.braille(spoken);
}

void History::clear() {
    ports_.pane.clear();
    entries_.clear();
    reviewPosition_ = -1;
}

void History::toggleReading() {
    isReadingMuted_ = !isReadingMuted_;
    ports_.speech.say(state_.tr(isReadingMuted_ ? "disabled" : "enabled"), true);
}

void History::selectView(std::int32_t number, bool isAbsolute) {
    Presentation& presentation = state_.presentation;
    const std::int64_t target =
        isAbsolute ? number : std::int64_t{presentation.currentView} + number;
    if (target < 0 || static_cast<std::size_t>(target) >= presentation.views.size()) {
        ports_.shell.beep();
    } else {
        presentation.currentView = static_cast<std::int32_t>(target);
    }
    // After a refusal the view the player is still in is named again.
    if (static_cast<std::size_t>(presentation.currentView) < presentation.views.size()) {
        ports_.speech.say(
            presentation.views[static_cast<std::size_t>(presentation.currentView)].name, true);
    }
}

bool History::runCommand(std::int32_t id) {
    switch (id) {
    case IDM_SAVE_HISTORY:
    case IDM_SAVE_VIEW:
        save(id == IDM_SAVE_HISTORY);
        return true;
    case IDM_TOGGLE_HISTORY_READING:
        toggleReading();
        return true;
    case IDM_NEXT_VIEW:
    case IDM_PREVIOUS_VIEW:
        selectView(id == IDM_NEXT_VIEW ? 1 : -1, false);
        return true;
    case IDM_COPY_REVIEW_LINE:
        copyReviewed();
        return true;
    case IDM_OPEN_REVIEW_LINK:
        if (isReviewPositionValid()) {
            openLinkInText(entries_[static_cast<std::size_t>(reviewPosition_)].text);
        } else {
            ports_.shell.beep();
        }
        return true;
    case IDM_COPY_VIEW:
        copyView();
        return true;
    case IDM_CLEAR_HISTORY:
        clear();
        return true;
    default:
        if (id >= IDM_VIEW_FIRST && id <= IDM_VIEW_FIRST + 9) {
            selectView(id - IDM_VIEW_FIRST, true);
            return true;
        }
        return false;
    }
}

void HistoryRoute::historyAdd(const std::u16string& text, std::int32_t channelWord) {
    if (!state_.presentation.published.flags(channelWord & 31)) {
        shell_.tone(kUnknownChannelTone, kUnknownChannelToneMs);
    }
    (void)gui_.run([&] { history_.add(text, channelWord); });
}

} // namespace vendrel
