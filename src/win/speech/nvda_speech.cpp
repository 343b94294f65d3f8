// NVDA: its controller client DLL, which the player copies beside the exe from NVDA's own
// folder. It is looked for only while NVDA's window exists and is never required.

#include "speech/speech_backends.h"

#include "speech/speech_ids.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

using SpeakFunction = unsigned long(__stdcall*)(const wchar_t*);
using SimpleFunction = unsigned long(__stdcall*)();

#ifdef _WIN64
// Newer NVDA releases ship the client without the bitness in its name.
constexpr const wchar_t* kClientNames[] = {L"nvdaControllerClient64.dll",
                                           L"nvdaControllerClient.dll"};
#else
constexpr const wchar_t* kClientNames[] = {L"nvdaControllerClient32.dll",
                                           L"nvdaControllerClient.dll"};
#endif

class NvdaSpeech final : public SpeechBackend {
public:
    explicit NvdaSpeech(std::wstring programFolder) : folder_(std::move(programFolder)) {}
    ~NvdaSpeech() override {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    NvdaSpeech(const NvdaSpeech&) = delete;
    NvdaSpeech& operator=(const NvdaSpeech&) = delete;

    std::int32_t engineIndex() const override { return speech_id::kNvdaEngine; }
    std::u16string name() const override { return u"NVDA"; }

    bool isAvailable() override {
        // The window first: it costs nothing, and the client's test is a call into NVDA.
        return FindWindowW(L"wxWindowClassNR", L"NVDA") != nullptr && load() &&
               testIfRunning_() == 0;
    }

    bool speak(const std::u16string& text, bool interrupt) override {
        if (interrupt && cancelSpeech_() != 0) {
            return false;
        }
        const std::wstring wide = toWin(text);
        return wide.empty() || speakText_(wide.c_str()) == 0;
    }

    bool canBraille() const override { return true; }
    bool braille(const std::u16string& text) override {
        const std::wstring wide = toWin(text);
        return brailleMessage_(wide.c_str()) == 0;
    }

private:
    // Tried again each time until it works, so a client copied in while the program runs is
    // picked up; only the full path is loaded, never a DLL found along the search path.
    bool load() {
        if (module_ != nullptr) {
            return true;
        }
        for (const wchar_t* name : kClientNames) {
            const std::wstring path = folder_ + name;
            if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
                continue;
            }
            HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
            if (module == nullptr) {
                continue;
            }
            testIfRunning_ = dllFunction<SimpleFunction>(module, "nvdaController_testIfRunning");
            cancelSpeech_ = dllFunction<SimpleFunction>(module, "nvdaController_cancelSpeech");
            speakText_ = dllFunction<SpeakFunction>(module, "nvdaController_speakText");
            brailleMessage_ = dllFunction<SpeakFunction>(module, "nvdaController_brailleMessage");
            if (testIfRunning_ && cancelSpeech_ && speakText_ && brailleMessage_) {
                module_ = module;
                return true;
            }
            FreeLibrary(module);
        }
        return false;
    }

    std::wstring folder_;
    HMODULE module_ = nullptr;
    SimpleFunction testIfRunning_ = nullptr;
    SimpleFunction cancelSpeech_ = nullptr;
    SpeakFunction speakText_ = nullptr;
    SpeakFunction brailleMessage_ = nullptr;
};

} // namespace

std::unique_ptr<SpeechBackend> makeNvdaSpeech(const std::wstring& programFolder) {
    return std::make_unique<NvdaSpeech>(programFolder);
}

} // namespace vendrel::win
