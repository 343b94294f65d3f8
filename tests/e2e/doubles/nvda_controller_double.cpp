// A stand-in for NVDA's controller client library, for the end-to-end tests: it exports the four
// functions the client calls, with the real library's names and calling convention, and appends
// what it receives to the file named by VENDREL_NVDA_DOUBLE_LOG, one UTF-8 line per call
// ("speak text", "braille text", "cancel"). Like the real one it reports NVDA running only while
// NVDA's window exists.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void append(const std::wstring& line) {
    const wchar_t* path = _wgetenv(L"VENDREL_NVDA_DOUBLE_LOG");
    std::FILE* file = path != nullptr ? _wfopen(path, L"ab") : nullptr;
    if (file != nullptr) {
        const std::wstring text = line + L"\r\n";
        char bytes[4096];
        const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             bytes, sizeof bytes, nullptr, nullptr);
        std::fwrite(bytes, 1, static_cast<std::size_t>(size), file);
        std::fclose(file);
    }
}

} // namespace

extern "C" {

__declspec(dllexport) unsigned long __stdcall nvdaController_testIfRunning() {
    constexpr unsigned long kServerUnavailable = 1722; // RPC_S_SERVER_UNAVAILABLE, as NVDA's
    return FindWindowW(L"wxWindowClassNR", L"NVDA") != nullptr ? 0 : kServerUnavailable;
}

__declspec(dllexport) unsigned long __stdcall nvdaController_speakText(const wchar_t* text) {
    append(std::wstring(L"speak ") + text);
    return 0;
}

__declspec(dllexport) unsigned long __stdcall nvdaController_cancelSpeech() {
    append(L"cancel");
    return 0;
}

__declspec(dllexport) unsigned long __stdcall nvdaController_brailleMessage(const wchar_t* text) {
    append(std::wstring(L"braille ") + text);
    return 0;
}

} // extern "C"
