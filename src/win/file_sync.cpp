// The core's one file-system call that the standard library lacks, for Windows; built into
// the core by src/core/CMakeLists.txt.
#include "app/files.h"

#include <windows.h>

namespace vendrel {

bool flushFileToDisk(const std::filesystem::path& file) {
    // FlushFileBuffers needs a handle with write access; the writer has closed the file.
    const HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool isFlushed = FlushFileBuffers(handle) != 0;
    return CloseHandle(handle) != 0 && isFlushed;
}

} // namespace vendrel
