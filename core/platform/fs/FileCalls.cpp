#include "core/platform/fs/FileCalls.h"

#include "core/platform/fs/BeneathOpen.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace Vuxo {

namespace {

int OpenFlags(const FileOpenRequest& request) {
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK; // non-blocking so a FIFO cannot hang the open
    switch (request.access) {
    case FileAccess::Read:
        flags |= O_RDONLY;
        break;
    case FileAccess::Write:
        flags |= O_WRONLY;
        break;
    case FileAccess::ReadWrite:
        flags |= O_RDWR;
        break;
    }
    if (request.create) {
        flags |= O_CREAT;
    }
    if (request.append) {
        flags |= O_APPEND;
    }
    return flags;
}

// Opens, checks and locks; 0 or the errno value. Every open of a file by the program comes through here.
// `size` receives the size of a file opened for reading.
int OpenChecked(const std::string& root, std::string_view rest, const FileOpenRequest& request,
                FileDescriptor& file, int64_t& size) {
    int openError = 0;
    file = OpenBeneath(root, rest, OpenFlags(request), 0666, &openError);
    if (!file.IsValid()) {
        return openError;
    }
    const int descriptor = file.Get();
    const bool reading = request.access == FileAccess::Read;
    // A reader's size must be that of the file its lock holds: a writer of the program (who locks
    // exclusively) may rewrite it between the fstat and the lock. Such a writer has given its lock back
    // by then, which the count of exclusive releases shows; only then is the file looked at again.
    const uint64_t releases = ShareLock::ExclusiveReleases();
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return errno;
    }
    if (!S_ISREG(status.st_mode)) {
        return S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    }
    // A reader keeps O_NONBLOCK: it only kept a FIFO from blocking the open, and Linux ignores it for
    // reads of a regular file (they wait for the disk either way; sendfile ignores it too).
    if (!reading) {
        const int flags = ::fcntl(descriptor, F_GETFL);
        if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            return errno;
        }
    }
    ShareLock share;
    if (const int error = ShareLock::Acquire(descriptor, status.st_dev, status.st_ino, request.share, share);
        error != 0) {
        return error;
    }
    file.AttachShare(std::move(share));
    if (reading) {
        if (ShareLock::ExclusiveReleases() != releases && ::fstat(descriptor, &status) != 0) {
            return errno;
        }
        size = static_cast<int64_t>(status.st_size);
        return 0;
    }
    // Truncate only after the lock is ours: emptying a file another opener holds would destroy its data.
    if (request.truncate && ::ftruncate(descriptor, 0) != 0) {
        return errno;
    }
    return 0;
}

} // namespace

FileDescriptor OpenRegularFile(const std::string& path, const FileOpenRequest& request, int* error) {
    return OpenRegularFileBeneath(path, {}, request, error);
}

FileDescriptor OpenRegularFileBeneath(const std::string& root, std::string_view rest,
                                      const FileOpenRequest& request, int* error, int64_t* readSize) {
    FileDescriptor file;
    int64_t size = -1;
    const int result = OpenChecked(root, rest, request, file, size);
    if (result != 0) {
        file.Close();
        size = -1;
    }
    if (error) {
        *error = result;
    }
    if (readSize) {
        *readSize = size;
    }
    return file;
}

size_t ReadFully(int descriptor, void* buffer, size_t count) {
    auto* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(descriptor, bytes + done, count - done);
        if (got > 0) {
            done += static_cast<size_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            break;
        }
    }
    return done;
}

size_t WriteFully(int descriptor, const void* buffer, size_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(descriptor, bytes + done, count - done);
        if (put > 0) {
            done += static_cast<size_t>(put);
        } else if (put == 0 || errno != EINTR) {
            break;
        }
    }
    return done;
}

int64_t SeekDescriptor(int descriptor, int64_t distance, int origin) {
    int whence;
    switch (origin) {
    case 0:
        whence = SEEK_SET;
        break;
    case 1:
        whence = SEEK_CUR;
        break;
    case 2:
        whence = SEEK_END;
        break;
    default:
        return -1;
    }
    const off_t position = ::lseek(descriptor, static_cast<off_t>(distance), whence);
    return position < 0 ? -1 : static_cast<int64_t>(position);
}

int64_t GetDescriptorSize(int descriptor) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return -1;
    }
    return static_cast<int64_t>(status.st_size);
}

bool SyncDescriptor(int descriptor) {
    return ::fsync(descriptor) == 0;
}

bool TruncateDescriptor(int descriptor, int64_t size) {
    if (size < 0) {
        return false;
    }
    int result;
    do {
        result = ::ftruncate(descriptor, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool SetDescriptorMode(int descriptor, unsigned mode) {
    return ::fchmod(descriptor, static_cast<mode_t>(mode)) == 0;
}

FileDescriptor OpenFolderBeneath(const std::string& root, std::string_view rest, int* error) {
    return OpenBeneath(root, rest, O_RDONLY | O_DIRECTORY | O_NOCTTY, 0, error);
}

bool QueryPath(const std::string& path, PathInfo& info) {
    info = PathInfo{};
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0) {
        return false;
    }
    if (S_ISREG(status.st_mode)) {
        info.kind = PathKind::Regular;
    } else if (S_ISDIR(status.st_mode)) {
        info.kind = PathKind::Directory;
    } else {
        info.kind = PathKind::Other;
    }
    info.size = static_cast<int64_t>(status.st_size);
    info.lastWriteTime = static_cast<int64_t>(status.st_mtim.tv_sec);
    return true;
}

} // namespace Vuxo
