// NVDA: its controller client DLL, which the player copies beside the exe from NVDA's own
// folder. It is looked for only while NVDA's window exists and is never required.

#include "speech/speech_backends.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "speech/library_bits.h"
#include "speech/speech_ids.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

using SpeakFunction = unsigned long(__stdcall*)(const wchar_t*);
using SimpleFunction = unsigned long(__stdcall*)();

#ifdef _WIN64
constexpr std::int32_t kOwnBits = 64;
// Newer NVDA releases ship the client without the bitness in its name.
constexpr const wchar_t* kClientNames[] = {L"nvdaControllerClient64.dll",
                                           L"nvdaControllerClient.dll"};
#else
constexpr std::int32_t kOwnBits = 32;
constexpr const wchar_t* kClientNames[] = {L"nvdaControllerClient32.dll",
                                           L"nvdaControllerClient.dll"};
#endif

bool isFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::int32_t> fileBits(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::string bytes(kLibraryHeaderBytes, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return libraryBits(bytes);
}

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
        return hasWindow() && load() && testIfRunning_() == 0;
    }

    bool speak(const std::u16string& text, bool interrupt) override {
        lastError_ = interrupt ? cancelSpeech_() : 0;
        const std::wstring wide = toWin(text);
        if (lastError_ == 0 && !wide.empty()) {
            lastError_ = speakText_(wide.c_str());
        }
        return lastError_ == 0;
    }

    bool canBraille() const override { return true; }
    bool braille(const std::u16string& text) override {
        const std::wstring wide = toWin(text);
        return brailleMessage_(wide.c_str()) == 0;
    }

    SpeechBackendStatus status() override {
        if (!hasWindow()) {
            return {false, SpeechProblem::NotRunning, {}, {}};
        }
        if (!load()) {
            return libraryProblem();
        }
        if (const unsigned long code = testIfRunning_(); code != 0) {
            return {true, SpeechProblem::NotAnswering, {}, errorNumber(code)};
        }
        if (lastError_ != 0) {
            return {true, SpeechProblem::TextRefused, {}, errorNumber(lastError_)};
        }
        return {true, SpeechProblem::None, {}, {}};
    }

private:
    static bool hasWindow() { return FindWindowW(L"wxWindowClassNR", L"NVDA") != nullptr; }

    // Tried again each time until it works, so a client copied in while the program runs is
    // picked up; only the full path is loaded, never a DLL found along the search path.
    bool load() {
        if (module_ != nullptr) {
            return true;
        }
        for (const wchar_t* name : kClientNames) {
            const std::wstring path = folder_ + name;
            if (!isFile(path)) {
                continue;
            }
            HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
            if (module == nullptr) {
                loadError_ = GetLastError();
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
            loadError_ = ERROR_PROC_NOT_FOUND;
            FreeLibrary(module);
        }
        return false;
    }

    // Why no library could be loaded, told of the first one found: the player has one file
    // in mind, and it is the one the loader tried first.
    SpeechBackendStatus libraryProblem() const {
        for (const wchar_t* name : kClientNames) {
            const std::wstring path = folder_ + name;
            if (!isFile(path)) {
                continue;
            }
            const auto bits = fileBits(path);
            if (bits && *bits != kOwnBits) {
                return {true, SpeechProblem::LibraryWrongBits, fromWin(name),
                        toWide(std::to_string(*bits))};
            }
            return {true, SpeechProblem::LibraryUnusable, fromWin(name), errorNumber(loadError_)};
        }
        return {true, SpeechProblem::LibraryMissing, fromWin(kClientNames[0]), {}};
    }

    std::wstring folder_;
    HMODULE module_ = nullptr;
    DWORD loadError_ = 0;
    unsigned long lastError_ = 0;
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
