// Taking the history out of the program: the clipboard and files.

#include <optional>

#include "app/app_state.h"
#include "app/files.h"
#include "history/history.h"
#include "history/presentation.h"
#include "ports/history_pane.h"
#include "ports/shell.h"
#include "ports/speech_output.h"
#include "ports/system_dialogs.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {
namespace {

// Files are written with Windows line ends, as a text-mode write would give them.
std::string withWindowsLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

} // namespace

void History::copyView() {
    std::u16string text;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (isVisible(i)) {
            text += entries_[i].text;
            text += u"\r\n";
        }
    }
    // "Copied" is said even when the clipboard was busy, as the player expects an answer.
    (void)ports_.shell.copyToClipboard(text);
    ports_.speech.say(state_.tr("copied"), true);
}

void History::copyReviewed() {
    if (!isReviewPositionValid()) {
        ports_.shell.beep();
        return;
    }
    (void)ports_.shell.copyToClipboard(entries_[static_cast<std::size_t>(reviewPosition_)].text);
    ports_.speech.say(state_.tr("copied"), true);
}

void History::save(bool wholeHistory) {
    if (!wholeHistory) {
        saveCurrentView();
        return;
    }
    Presentation& presentation = state_.presentation;
    const std::int32_t view = presentation.currentView;
    presentation.currentView = 0;
    saveCurrentView();
    presentation.currentView = view;
}

void History::saveCurrentView() {
    const bool isWholeView = state_.presentation.currentView == 0;
    std::vector<FileType> types{{state_.tr("txtFileType"), u"*.txt"}};
    if (isWholeView) {
        types.push_back({state_.tr("rtfFileType"), u"*.rtf"});
    }
    const std::optional<SaveFileChoice> choice =
        ports_.dialogs.askSaveFile(state_.tr("saveAs"), types, u"txt");
    if (!choice) {
        return;
    }
    std::optional<std::string> content;
    if (isWholeView && choice->typeIndex == 0) {
        content = withWindowsLineEnds(toNarrow(ports_.pane.text())) + "\r\n";
    } else if (isWholeView && choice->typeIndex == 1) {
        // The control's own rich text, colours and styles included, as it writes it.
        content = ports_.pane.richText();
        if (content) {
            *content += "\r\n";
        }
    } else {
        content.emplace();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (isVisible(i)) {
                *content += withWindowsLineEnds(toNarrow(entries_[i].text)) + "\r\n";
            }
        }
    }
    if (!content || !replaceFileAtomically(choice->path, *content)) {
        reportSaveFailure(choice->path);
    }
}

void History::reportSaveFailure(const std::string& path) {
    const std::u16string text = formatWide(1024, state_.tr("errorsavehistory"), toWide(path));
    state_.debugLog.line("Couldn't save the history to ", path);
    ports_.speech.say(text, true);
    ports_.shell.showError(state_.tr("error"), text);
}

} // namespace vendrel
