#include "core/platform/fs/NoReplaceCalls.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace Vuxo {

namespace {

FileDescriptor CreateNewFileAt(int folder, const std::string& name, int* error) {
    int descriptor;
    do {
        descriptor = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0 && error != nullptr) {
        *error = errno;
    }
    return FileDescriptor(descriptor);
}

int RenameNoReplaceAt(int folder, const std::string& from, const std::string& to) {
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // The file system does not know RENAME_NOREPLACE: a link never replaces either.
    if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) {
        return errno;
    }
    if (::unlinkat(folder, from.c_str(), 0) != 0) {
        const int error = errno;
        ::unlinkat(folder, to.c_str(), 0); // keep one name only; the caller still holds the file under `from`
        return error;
    }
    return 0;
}

} // namespace

FileDescriptor CreateNewFile(const std::string& path, int* error) {
    return CreateNewFileAt(AT_FDCWD, path, error);
}

FileDescriptor CreateNewFileIn(const FileDescriptor& folder, const std::string& name, int* error) {
    return CreateNewFileAt(folder.Get(), name, error);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    return RenameNoReplaceAt(AT_FDCWD, from, to);
}

int RenameNoReplaceIn(const FileDescriptor& folder, const std::string& from, const std::string& to) {
    return RenameNoReplaceAt(folder.Get(), from, to);
}

} // namespace Vuxo
