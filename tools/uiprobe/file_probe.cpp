#include "file_probe.h"

#include <shlobj.h>
#include <windows.h>

#include "probe_output.h"

namespace uiprobe {
namespace {

std::wstring dottedVersion(DWORD high, DWORD low) {
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
           std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
}

std::wstring fromUtf8(const char* bytes, int size) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes, size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes, size, text.data(), length);
    return text;
}

BOOL CALLBACK countName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

} // namespace

int showVersion(const std::vector<std::wstring>& args) {
    if (args.size() != 1) {
        return kExitUsage;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(args[0].c_str(), &ignored);
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(args[0].c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) {
        writeError("no version information");
        return kExitNotFound;
    }
    // The strings of the first translation the file lists.
    const WORD* translation = nullptr;
    wchar_t prefix[64] = L"\\StringFileInfo\\040904b0\\";
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(const_cast<WORD**>(&translation)), &length) &&
        length >= 4) {
        wsprintfW(prefix, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    }
    JsonObject strings;
    for (const wchar_t* name : {L"FileDescription", L"FileVersion", L"ProductName",
                                L"ProductVersion", L"OriginalFilename"}) {
        wchar_t* value = nullptr;
        if (VerQueryValueW(block.data(), (std::wstring(prefix) + name).c_str(),
                           reinterpret_cast<void**>(&value), &length)) {
            strings.text(toUtf8(name), std::wstring(value, length > 0 ? length - 1 : 0));
        }
    }
    writeLine(
        JsonObject()
            .text("fileVersion", dottedVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS))
            .text("productVersion",
                  dottedVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS))
            .raw("strings", strings.str())
            .str());
    return 0;
}

int showResources(const std::vector<std::wstring>& args) {
    if (args.size() != 1) {
        return kExitUsage;
    }
    // As data: nothing of the file runs, as when Explorer reads it.
    HMODULE module = LoadLibraryExW(args[0].c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        writeError("cannot load the file as data");
        return kExitNotFound;
    }
    std::wstring manifest;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        HGLOBAL loaded = LoadResource(module, found);
        const auto* bytes = static_cast<const char*>(loaded ? LockResource(loaded) : nullptr);
        if (bytes != nullptr) {
            manifest = fromUtf8(bytes, static_cast<int>(SizeofResource(module, found)));
        }
    }
    int iconGroups = 0;
    EnumResourceNamesW(module, RT_GROUP_ICON, countName, reinterpret_cast<LONG_PTR>(&iconGroups));
    FreeLibrary(module);
    writeLine(JsonObject().text("manifest", manifest).number("iconGroups", iconGroups).str());
    return 0;
}

int showShortcut(const std::vector<std::wstring>& args) {
    if (args.size() != 1) {
        return kExitUsage;
    }
    const bool isComReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = L"";
    wchar_t arguments[1024] = L"";
    wchar_t folder[MAX_PATH] = L"";
    const bool isRead =
        SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(args[0].c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
        SUCCEEDED(link->GetArguments(arguments, 1024)) &&
        SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH));
    if (file != nullptr) {
        file->Release();
    }
    if (link != nullptr) {
        link->Release();
    }
    if (isComReady) {
        CoUninitialize();
    }
    if (!isRead) {
        writeError("cannot read the shortcut");
        return kExitNotFound;
    }
    writeLine(JsonObject()
                  .text("target", target)
                  .text("arguments", arguments)
                  .text("workingDirectory", folder)
                  .str());
    return 0;
}

} // namespace uiprobe
