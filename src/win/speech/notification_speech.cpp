// UI Automation notifications, raised on the main window's own host provider: Narrator reads
// them, and so do other screen readers that have no interface of their own here.
// UIAutomationCore.dll and its notification call (Windows 10 1709 and later) are looked up at
// run time, so older systems and Wine simply find this back-end unavailable.

#include "speech/speech_backends.h"

#include <oleauto.h>

#include <atomic>

#include "speech/speech_ids.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

// Values of the system's NotificationKind and NotificationProcessing enumerations.
constexpr int kNotificationKindOther = 4;
constexpr int kProcessingAll = 2;        // queued behind what is being read
constexpr int kProcessingMostRecent = 3; // replaces what is being read

using HostProviderFunction = HRESULT(WINAPI*)(HWND, IUnknown**);
using RaiseFunction = HRESULT(WINAPI*)(IUnknown*, int, int, BSTR, BSTR);
using ListeningFunction = BOOL(WINAPI*)();

std::atomic<HWND> notificationWindow{nullptr};

class NotificationSpeech final : public SpeechBackend {
public:
    ~NotificationSpeech() override { reset(); }
    NotificationSpeech() = default;
    NotificationSpeech(const NotificationSpeech&) = delete;
    NotificationSpeech& operator=(const NotificationSpeech&) = delete;

    std::int32_t engineIndex() const override { return speech_id::kNotificationEngine; }
    std::u16string name() const override { return u"Narrator (UI Automation)"; }

    bool isAvailable() override {
        if (notificationWindow.load() == nullptr || !isScreenReaderOn()) {
            return false;
        }
        return load() && clientsAreListening_() && provider() != nullptr;
    }

    // Found only when someone listens: the system's flag alone is set by every screen reader,
    // and one with an interface of its own is counted under its own name.
    SpeechBackendStatus status() override {
        if (!isScreenReaderOn()) {
            return {false, SpeechProblem::NotRunning, {}, {}};
        }
        if (!load()) {
            return {false, SpeechProblem::NoNotifications, {}, {}};
        }
        if (!isAvailable()) {
            return {false, SpeechProblem::NotRunning, {}, {}};
        }
        if (FAILED(lastResult_)) {
            return {true, SpeechProblem::TextRefused, {}, resultCode(lastResult_)};
        }
        return {true, SpeechProblem::None, {}, {}};
    }

    bool speak(const std::u16string& text, bool interrupt) override {
        if (text.empty()) {
            return true; // a notification cannot be silent; the next one replaces it anyway
        }
        IUnknown* element = provider();
        if (element == nullptr) {
            return false;
        }
        const std::wstring wide = toWin(text);
        BSTR said = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        BSTR activity = SysAllocString(L"VendrelSpeech");
        lastResult_ = raise_(element, kNotificationKindOther,
                             interrupt ? kProcessingMostRecent : kProcessingAll, said, activity);
        SysFreeString(activity);
        SysFreeString(said);
        return SUCCEEDED(lastResult_);
    }

    void reset() override {
        if (provider_ != nullptr) {
            provider_->Release();
            provider_ = nullptr;
        }
        providerWindow_ = nullptr;
    }

private:
    static bool isScreenReaderOn() {
        BOOL isOn = FALSE;
        return SystemParametersInfoW(SPI_GETSCREENREADER, 0, &isOn, 0) && isOn;
    }

    bool load() {
        if (raise_ != nullptr) {
            return true;
        }
        if (hasFailedToLoad_) {
            return false;
        }
        HMODULE module =
            LoadLibraryExW(L"UIAutomationCore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module != nullptr) {
            hostProvider_ = dllFunction<HostProviderFunction>(module, "UiaHostProviderFromHwnd");
            clientsAreListening_ = dllFunction<ListeningFunction>(module, "UiaClientsAreListening");
            raise_ = dllFunction<RaiseFunction>(module, "UiaRaiseNotificationEvent");
        }
        if (hostProvider_ == nullptr || clientsAreListening_ == nullptr || raise_ == nullptr) {
            // The library stays loaded: it is a system DLL, and unloading it buys nothing.
            raise_ = nullptr;
            hasFailedToLoad_ = true;
            return false;
        }
        return true;
    }

    // The window's host provider, made again when the window changes.
    IUnknown* provider() {
        HWND window = notificationWindow.load();
        if (window != providerWindow_) {
            reset();
        }
        if (provider_ == nullptr && window != nullptr && IsWindow(window) &&
            SUCCEEDED(hostProvider_(window, &provider_))) {
            providerWindow_ = window;
        }
        return provider_;
    }

    HostProviderFunction hostProvider_ = nullptr;
    ListeningFunction clientsAreListening_ = nullptr;
    RaiseFunction raise_ = nullptr;
    bool hasFailedToLoad_ = false;
    IUnknown* provider_ = nullptr;
    HWND providerWindow_ = nullptr;
    HRESULT lastResult_ = S_OK;
};

} // namespace

std::unique_ptr<SpeechBackend> makeNotificationSpeech() {
    return std::make_unique<NotificationSpeech>();
}

void setNotificationWindow(HWND window) {
    notificationWindow.store(window);
}

} // namespace vendrel::win
