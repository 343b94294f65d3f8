#include "crash_handler.h"

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <exception>

#include "app/app_state.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

AppState* crashState = nullptr;
std::atomic<HWND> crashOwner{nullptr};
std::atomic<bool> isCrashing{false};

struct Note {
    int number;   // 0 to 11
    int octave;   // 0 or 1
    int duration; // milliseconds; a number of -1 is a pause
};

void playNote(const Note& note) {
    if (note.number < 0) {
        Sleep(static_cast<DWORD>(note.duration));
        return;
    }
    const double exponent = (note.number + 12 * note.octave + 3) / 12.0;
    Beep(static_cast<DWORD>(440.0 * std::pow(2.0, exponent)), static_cast<DWORD>(note.duration));
}

[[noreturn]] void onCrash() {
    // A second crash inside the handler (or on another thread) must not start it again.
    if (isCrashing.exchange(true)) {
        ExitProcess(1);
    }
    if (crashState) {
        crashState->debugLog.line("Crash !");
    }
    static constexpr Note kTune[] = {
        {7, 1, 400}, {4, 1, 200}, {9, 1, 200}, {7, 1, 400}, {4, 1, 400}, {2, 1, 150}, {-1, 0, 50},
        {2, 1, 150}, {-1, 0, 50}, {7, 0, 150}, {-1, 0, 50}, {7, 0, 150}, {-1, 0, 50}, {0, 1, 600}};
    for (const Note& note : kTune) {
        playNote(note);
    }
    if (crashState) {
        MessageBoxW(crashOwner.load(), toWin(crashState->tr("crash")).c_str(),
                    toWin(crashState->tr("crash2")).c_str(), MB_ICONERROR);
        crashState->debugLog.line("Crash: exit process");
    }
    std::exit(1);
}

void onSignal(int) {
    onCrash();
}

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS*) {
    onCrash();
}

} // namespace

void installCrashHandler(AppState& state) {
    crashState = &state;
    std::signal(SIGSEGV, onSignal);
    std::set_terminate(onCrash);
    // Faults on threads the runtime does not turn into signals end up here.
    SetUnhandledExceptionFilter(onUnhandledException);
}

void setCrashOwner(HWND window) {
    crashOwner = window;
}

} // namespace vendrel::win
