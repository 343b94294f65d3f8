// The core's one file-system call that the standard library lacks, for POSIX systems; built
// into the core by src/core/CMakeLists.txt.
#include "app/files.h"

#include <fcntl.h>
#include <unistd.h>

namespace vendrel {

bool flushFileToDisk(const std::filesystem::path& file) {
    const int descriptor = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    const bool isFlushed = ::fsync(descriptor) == 0;
    return ::close(descriptor) == 0 && isFlushed;
}

} // namespace vendrel
