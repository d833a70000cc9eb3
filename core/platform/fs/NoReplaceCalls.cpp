#include "core/platform/fs/NoReplaceCalls.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace Vuxo {

FileDescriptor CreateNewFile(const std::string& path, int* error) {
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0 && error != nullptr) {
        *error = errno;
    }
    return FileDescriptor(descriptor);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // The file system does not know RENAME_NOREPLACE: a link never replaces either.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str()); // keep one name only; the caller still holds the file under `from`
        return error;
    }
    return 0;
}

} // namespace Vuxo
