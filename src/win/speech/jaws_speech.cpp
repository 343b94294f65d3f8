// JAWS: its COM automation object, reached by ProgID through IDispatch so that no JAWS type
// library is needed to build. Used while the JAWS window exists.

#include "speech/speech_backends.h"

#include <oleauto.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "speech/speech_ids.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

// A BSTR for one call.
class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    [[nodiscard]] BSTR get() const { return value_; }

private:
    BSTR value_;
};

// JAWS script strings have no escape for their quote, so quotes become apostrophes.
std::wstring scriptString(const std::u16string& text) {
    std::wstring wide = toWin(text);
    std::replace(wide.begin(), wide.end(), L'"', L'\'');
    return L"BrailleString(\"" + wide + L"\")";
}

// %APPDATA%\Freedom Scientific\JAWS\<newest version>\Settings\<language>\, preferring English
// when several languages are set up.
std::optional<std::string> findJawsSettingsFolder() {
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (appData == nullptr) {
        return std::nullopt;
    }
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path jaws = fs::path(appData) / L"Freedom Scientific" / L"JAWS";
    std::vector<fs::path> versions;
    for (const auto& entry : fs::directory_iterator(jaws, error)) {
        if (entry.is_directory(error) && fs::is_directory(entry.path() / L"Settings", error)) {
            versions.push_back(entry.path());
        }
    }
    if (versions.empty()) {
        return std::nullopt;
    }
    // Version folders are numbers ("2024", "18.0"); compare them as numbers.
    const auto newest =
        std::max_element(versions.begin(), versions.end(), [](const auto& a, const auto& b) {
            return std::wcstod(a.filename().c_str(), nullptr) <
                   std::wcstod(b.filename().c_str(), nullptr);
        });
    std::optional<fs::path> language;
    for (const auto& entry : fs::directory_iterator(*newest / L"Settings", error)) {
        if (entry.is_directory(error) && (!language || entry.path().filename() == L"enu")) {
            language = entry.path();
        }
    }
    if (!language) {
        return std::nullopt;
    }
    return winToUtf8(language->wstring()) + "\\";
}

class JawsSpeech final : public SpeechBackend {
public:
    ~JawsSpeech() override { reset(); }

    std::int32_t engineIndex() const override { return speech_id::kJawsEngine; }
    std::u16string name() const override { return u"JAWS"; }

    bool isAvailable() override { return hasWindow() && connect(); }

    bool speak(const std::u16string& text, bool interrupt) override {
        if (text.empty()) {
            return !interrupt || call(stopSpeech_, {});
        }
        const Bstr said(toWin(text));
        VARIANT args[2];
        // IDispatch takes its arguments last first: the flush flag, then the text.
        VariantInit(&args[0]);
        args[0].vt = VT_BOOL;
        args[0].boolVal = interrupt ? VARIANT_TRUE : VARIANT_FALSE;
        VariantInit(&args[1]);
        args[1].vt = VT_BSTR;
        args[1].bstrVal = said.get();
        return call(sayString_, {args, 2});
    }

    bool canBraille() const override { return true; }
    bool braille(const std::u16string& text) override {
        const Bstr script(scriptString(text));
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_BSTR;
        arg.bstrVal = script.get();
        return call(runFunction_, {&arg, 1});
    }

    void reset() override {
        if (api_ != nullptr) {
            api_->Release();
            api_ = nullptr;
        }
    }

    std::optional<std::string> userSettingsFolder() override { return findJawsSettingsFolder(); }

    SpeechBackendStatus status() override {
        if (!hasWindow()) {
            return {false, SpeechProblem::NotRunning, {}, {}};
        }
        if (!connect()) {
            return {true, SpeechProblem::AutomationFailed, {}, resultCode(connectResult_)};
        }
        if (FAILED(lastResult_)) {
            return {true, SpeechProblem::TextRefused, {}, resultCode(lastResult_)};
        }
        return {true, SpeechProblem::None, {}, {}};
    }

private:
    static bool hasWindow() { return FindWindowW(L"JFWUI2", nullptr) != nullptr; }

    bool connect() {
        if (api_ != nullptr) {
            return true;
        }
        CLSID clsid;
        connectResult_ = CLSIDFromProgID(L"FreedomSci.JawsApi", &clsid);
        if (SUCCEEDED(connectResult_)) {
            connectResult_ = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch,
                                              reinterpret_cast<void**>(&api_));
        }
        if (FAILED(connectResult_)) {
            api_ = nullptr;
            return false;
        }
        if (!lookUp(L"SayString", sayString_) || !lookUp(L"StopSpeech", stopSpeech_) ||
            !lookUp(L"RunFunction", runFunction_)) {
            reset();
            return false;
        }
        return true;
    }

    // An object without one of our methods is not the JAWS we know: its error is kept for the
    // diagnosis like a failed creation's.
    bool lookUp(const wchar_t* method, DISPID& id) {
        LPOLESTR name = const_cast<LPOLESTR>(method);
        connectResult_ = api_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        return SUCCEEDED(connectResult_);
    }

    // Only a failed call counts as failure: JAWS answers false when it chose not to speak
    // (speech muted), and another voice must not then talk over the player's choice.
    bool call(DISPID id, std::pair<VARIANT*, UINT> args) {
        if (api_ == nullptr) {
            return false;
        }
        DISPPARAMS params{args.first, nullptr, args.second, 0};
        VARIANT result;
        VariantInit(&result);
        lastResult_ = api_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                   &result, nullptr, nullptr);
        VariantClear(&result);
        return SUCCEEDED(lastResult_);
    }

    IDispatch* api_ = nullptr;
    HRESULT connectResult_ = S_OK;
    HRESULT lastResult_ = S_OK;
    DISPID sayString_ = DISPID_UNKNOWN;
    DISPID stopSpeech_ = DISPID_UNKNOWN;
    DISPID runFunction_ = DISPID_UNKNOWN;
};

} // namespace

std::unique_ptr<SpeechBackend> makeJawsSpeech() {
    return std::make_unique<JawsSpeech>();
}

} // namespace vendrel::win
