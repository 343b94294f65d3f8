// SAPI 5: the system's own voices, spoken asynchronously. This is the engine whose voices
// command 1008 cycles through, and the one automatic selection falls back on.

#include <initguid.h> // the SAPI class and interface ids are defined here, not in a library

#include "speech/speech_backends.h"

#include <sapi.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "speech/speech_ids.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

// SAPI's own scales: rate -10..10, volume 0..100; pitch -10..10 through the XML pitch tag,
// as ISpVoice has no pitch property.
constexpr SpeechRange kRate{0, -10, 10};
constexpr SpeechRange kVolume{100, 0, 100};
constexpr SpeechRange kPitch{0, -10, 10};

template <typename T> void release(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

// The text inside the pitch tag: markup characters must not start tags of their own.
std::wstring escapeXml(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        switch (c) {
        case L'<':
            out += L"&lt;";
            break;
        case L'>':
            out += L"&gt;";
            break;
        case L'&':
            out += L"&amp;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

class SapiSpeech final : public SpeechBackend {
public:
    ~SapiSpeech() override { reset(); }
    SapiSpeech() = default;
    SapiSpeech(const SapiSpeech&) = delete;
    SapiSpeech& operator=(const SapiSpeech&) = delete;

    std::int32_t engineIndex() const override { return speech_id::kSapiEngine; }
    std::u16string name() const override { return u"SAPI 5"; }
    bool isScreenReader() const override { return false; }

    bool isAvailable() override { return open(); }

    bool speak(const std::u16string& text, bool interrupt) override {
        if (!open()) {
            return false;
        }
        DWORD flags = SPF_ASYNC | (interrupt ? SPF_PURGEBEFORESPEAK : 0);
        std::wstring said = toWin(text);
        if (pitch_ != 0 && !said.empty()) {
            said = L"<pitch absmiddle=\"" + std::to_wstring(pitch_) + L"\">" + escapeXml(said) +
                   L"</pitch>";
            flags |= SPF_IS_XML;
        } else {
            flags |= SPF_IS_NOT_XML;
        }
        // An empty text with the purge flag is how SAPI is told to fall silent.
        lastResult_ = voice_->Speak(said.c_str(), flags, nullptr);
        return SUCCEEDED(lastResult_);
    }

    SpeechBackendStatus status() override {
        if (!open()) {
            return {false, SpeechProblem::EngineFailed, {}, resultCode(openResult_)};
        }
        if (tokens_.empty()) {
            return {true, SpeechProblem::NoVoice, {}, {}};
        }
        if (SUCCEEDED(lastResult_)) {
            // Perhaps nothing went through it yet: an empty text, which says nothing and cuts
            // nothing off, shows whether it speaks at all.
            lastResult_ = voice_->Speak(L"", SPF_ASYNC | SPF_IS_NOT_XML, nullptr);
        }
        if (FAILED(lastResult_)) {
            return {true, SpeechProblem::TextRefused, {}, resultCode(lastResult_)};
        }
        return {true, SpeechProblem::None, {}, {}};
    }

    void reset() override {
        for (ISpObjectToken*& token : tokens_) {
            release(token);
        }
        tokens_.clear();
        release(voice_);
    }

    std::vector<std::u16string> choices(SpeechChoice which) override {
        if (which != SpeechChoice::Voice || !open()) {
            return {};
        }
        return names_;
    }

    std::int32_t choice(SpeechChoice which) override {
        if (which != SpeechChoice::Voice || !open()) {
            return -1;
        }
        ISpObjectToken* current = nullptr;
        if (FAILED(voice_->GetVoice(&current)) || current == nullptr) {
            return -1;
        }
        const std::wstring id = tokenId(current);
        current->Release();
        for (std::size_t i = 0; i < tokens_.size(); ++i) {
            if (tokenId(tokens_[i]) == id) {
                return static_cast<std::int32_t>(i);
            }
        }
        return -1;
    }

    void select(SpeechChoice which, std::int32_t index) override {
        if (which == SpeechChoice::Voice && open() && index >= 0 &&
            static_cast<std::size_t>(index) < tokens_.size()) {
            (void)voice_->SetVoice(tokens_[static_cast<std::size_t>(index)]);
        }
    }

    std::optional<SpeechRange> parameter(SpeechParameter which) override {
        if (!open()) {
            return std::nullopt;
        }
        // A voice that cannot tell its rate or volume cannot be said to have one: a made-up
        // value would be spoken as a percentage that nothing changes.
        switch (which) {
        case SpeechParameter::Rate: {
            long rate = 0;
            if (FAILED(voice_->GetRate(&rate))) {
                return std::nullopt;
            }
            return SpeechRange{static_cast<std::int32_t>(rate), kRate.minimum, kRate.maximum};
        }
        case SpeechParameter::Volume: {
            USHORT volume = 0;
            if (FAILED(voice_->GetVolume(&volume))) {
                return std::nullopt;
            }
            return SpeechRange{volume, kVolume.minimum, kVolume.maximum};
        }
        case SpeechParameter::Pitch:
            return SpeechRange{pitch_, kPitch.minimum, kPitch.maximum};
        default:
            return std::nullopt;
        }
    }

    void setParameter(SpeechParameter which, std::int32_t value) override {
        if (!open()) {
            return;
        }
        switch (which) {
        case SpeechParameter::Rate:
            (void)voice_->SetRate(std::clamp(value, kRate.minimum, kRate.maximum));
            break;
        case SpeechParameter::Volume:
            (void)voice_->SetVolume(
                static_cast<USHORT>(std::clamp(value, kVolume.minimum, kVolume.maximum)));
            break;
        case SpeechParameter::Pitch:
            pitch_ = std::clamp(value, kPitch.minimum, kPitch.maximum);
            break;
        default:
            break;
        }
    }

private:
    // Made on first use and again after a failure dropped it.
    bool open() {
        if (voice_ != nullptr) {
            return true;
        }
        openResult_ = CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice,
                                       reinterpret_cast<void**>(&voice_));
        if (FAILED(openResult_)) {
            voice_ = nullptr;
            return false;
        }
        listVoices();
        return true;
    }

    void listVoices() {
        names_.clear();
        ISpObjectTokenCategory* category = nullptr;
        IEnumSpObjectTokens* found = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL,
                                       IID_ISpObjectTokenCategory,
                                       reinterpret_cast<void**>(&category))) &&
            SUCCEEDED(category->SetId(SPCAT_VOICES, FALSE)) &&
            SUCCEEDED(category->EnumTokens(nullptr, nullptr, &found))) {
            // The names end at the first voice that has none to read: a voice the player cannot
            // hear named cannot be chosen knowingly (Wine's voices are such).
            bool areNamesReadable = true;
            ISpObjectToken* token = nullptr;
            while (found->Next(1, &token, nullptr) == S_OK && token != nullptr) {
                tokens_.push_back(token);
                const auto name = tokenName(token);
                areNamesReadable = areNamesReadable && name.has_value();
                if (areNamesReadable) {
                    names_.push_back(*name);
                }
                token = nullptr;
            }
        }
        release(found);
        release(category);
    }

    static std::optional<std::u16string> tokenName(ISpObjectToken* token) {
        LPWSTR text = nullptr;
        if (FAILED(token->GetStringValue(nullptr, &text)) || text == nullptr) {
            return std::nullopt;
        }
        std::u16string name = fromWin(text);
        CoTaskMemFree(text);
        if (name.empty()) {
            return std::nullopt;
        }
        return name;
    }

    static std::wstring tokenId(ISpObjectToken* token) {
        LPWSTR text = nullptr;
        if (FAILED(token->GetId(&text)) || text == nullptr) {
            return {};
        }
        std::wstring id = text;
        CoTaskMemFree(text);
        return id;
    }

    ISpVoice* voice_ = nullptr;
    std::vector<ISpObjectToken*> tokens_;
    std::vector<std::u16string> names_;
    std::int32_t pitch_ = 0;
    HRESULT openResult_ = S_OK;
    HRESULT lastResult_ = S_OK;
};

} // namespace

std::unique_ptr<SpeechBackend> makeSapiSpeech() {
    return std::make_unique<SapiSpeech>();
}

} // namespace vendrel::win
