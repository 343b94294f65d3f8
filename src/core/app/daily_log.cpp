#include "app/daily_log.h"

#include "app/app_state.h"
#include "app/files.h"
#include "ports/platform.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {

bool DailyLog::open(const std::string& path) {
    close();
    // Binary with explicit CR LF, as debug.txt: the file reads the same whatever built it.
    out_.open(pathFromUtf8(path), std::ios::binary | std::ios::app);
    return out_.is_open();
}

void DailyLog::close() {
    if (out_.is_open()) {
        out_.close();
    }
    out_.clear();
}

void DailyLog::line(std::string_view text) {
    if (out_.is_open()) {
        out_ << text << "\r\n";
        out_.flush();
    }
}

std::string dailyLogPath(const std::string& folder, const LocalTime& now) {
    const bool hasSeparator = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    return formatText(512, "%s%s%04d-%02d-%02d.log", folder,
                      hasSeparator ? "" : std::string(1, kPathSeparator), now.year, now.month,
                      now.day);
}

bool openDailyLog(AppState& state) {
    state.dailyLog.close();
    const LocalTime now = state.platform->localTime();
    if (state.settings.logDir.empty()) {
        state.settings.logDir = state.folders.user;
    }
    const std::string path = dailyLogPath(state.settings.logDir, now);
    if (!state.dailyLog.open(path)) {
        state.debugLog.line("Couldn't open the daily log ", path);
        state.platform->showError(state.tr("error"),
                                  formatWide(512, state.tr("errorlogcreation"), toWide(path)));
        return false;
    }
    state.dailyLog.line(formatText(299, "Log started on %02d.%02d.%04d %02d:%02d:%02d", now.day,
                                   now.month, now.year, now.hour, now.minute, now.second));
    return true;
}

} // namespace vendrel
