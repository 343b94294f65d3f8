#include "speech/speech_diagnosis.h"

#include "app/app_state.h"
#include "history/history.h"
#include "ports/history_sink.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {
namespace {

constexpr std::size_t kLineSize = 1024;
// The client's own messages go to the channel of the downloads and the options.
constexpr std::int32_t kDiagnosisChannel = 7;
// The bitness of this program, which is what a library loaded into it must have.
constexpr std::int32_t kProgramBits = static_cast<std::int32_t>(sizeof(void*) * 8);

std::optional<std::u16string> problemLine(const SpeechBackendReport& report,
                                          MessageTable& messages) {
    const SpeechBackendStatus& s = report.status;
    const auto line = [&](const char* key, const auto&... args) {
        return formatWide(kLineSize, messages.tr(key), args...);
    };
    switch (s.problem) {
    case SpeechProblem::LibraryMissing:
        return line("speechLibraryMissing", report.name, s.file);
    case SpeechProblem::LibraryWrongBits:
        return line("speechLibraryBits", report.name, s.file, s.detail, kProgramBits);
    case SpeechProblem::LibraryUnusable:
        return line("speechLibraryUnusable", report.name, s.file, s.detail);
    case SpeechProblem::NotAnswering:
        return line("speechNotAnswering", report.name, s.detail);
    case SpeechProblem::AutomationFailed:
        return line("speechAutomationFailed", report.name, s.detail);
    case SpeechProblem::NoVoice:
        return line("speechNoVoice", report.name);
    case SpeechProblem::EngineFailed:
        return line("speechEngineFailed", report.name, s.detail);
    case SpeechProblem::TextRefused:
        return line("speechTextRefused", report.name, s.detail);
    case SpeechProblem::NoNotifications:
        return line("speechNoNotifications", report.name);
    case SpeechProblem::None:
    case SpeechProblem::NotRunning:
        break;
    }
    return std::nullopt;
}

} // namespace

std::vector<std::u16string> speechDiagnosisLines(const SpeechDiagnosis& diagnosis,
                                                 MessageTable& messages) {
    std::vector<std::u16string> lines;
    lines.push_back(diagnosis.output
                        ? formatWide(kLineSize, messages.tr("speechDiagOutput"), *diagnosis.output)
                        : messages.tr("speechDiagNoOutput"));
    std::u16string found;
    for (const SpeechBackendReport& report : diagnosis.backends) {
        if (report.isChosen && report.name != diagnosis.output) {
            lines.push_back(formatWide(kLineSize, messages.tr("speechDiagChosen"), report.name));
        }
        if (report.isScreenReader && report.status.isFound) {
            found += (found.empty() ? u"" : u", ") + report.name;
        }
    }
    lines.push_back(found.empty() ? messages.tr("speechDiagNoReader")
                                  : formatWide(kLineSize, messages.tr("speechDiagReaders"), found));
    for (const SpeechBackendReport& report : diagnosis.backends) {
        if (auto line = problemLine(report, messages)) {
            lines.push_back(std::move(*line));
        }
    }
    return lines;
}

void reportSpeechDiagnosis(AppState& state, SpeechDiagnostics& speech, HistorySink& history) {
    const std::vector<std::u16string> lines =
        speechDiagnosisLines(speech.diagnose(), state.messages);
    bool isFirst = true;
    for (const std::u16string& line : lines) {
        state.debugLog.line("Speech diagnosis: ", toNarrow(line));
        // The first line cuts off what was being said; the rest follow it.
        history.historyAdd(line, kDiagnosisChannel | (isFirst ? kInterruptRequest : 0));
        isFirst = false;
    }
}

} // namespace vendrel
