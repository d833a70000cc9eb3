#include "core/platform/fs/DirectoryReader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vuxo {

namespace {

PathKind KindOf(const struct stat& status) {
    if (S_ISREG(status.st_mode)) {
        return PathKind::Regular;
    }
    return S_ISDIR(status.st_mode) ? PathKind::Directory : PathKind::Other;
}

} // namespace

bool DirectoryReader::Open(const std::string& path) {
    Close();
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    return Open(FileDescriptor(descriptor));
}

bool DirectoryReader::Open(FileDescriptor folder) {
    Close();
    if (!folder.IsValid()) {
        return false;
    }
    DIR* stream = ::fdopendir(folder.Get());
    if (!stream) {
        return false;
    }
    folder.Release(); // the stream owns it now
    m_stream.reset(stream);
    return true;
}

bool DirectoryReader::Next(DirectoryEntry& entry) {
    if (!m_stream) {
        return false;
    }
    const dirent* record = ::readdir(m_stream.get());
    if (!record) {
        return false;
    }
    entry.name = record->d_name;
    entry.isLink = record->d_type == DT_LNK;
    switch (record->d_type) {
    case DT_REG:
        entry.kind = PathKind::Regular;
        break;
    case DT_DIR:
        entry.kind = PathKind::Directory;
        break;
    case DT_LNK:
    case DT_UNKNOWN: {
        if (record->d_type == DT_UNKNOWN) {
            // A file system that does not tell the type: ask whether the entry itself is a link.
            struct stat own {};
            entry.isLink =
                ::fstatat(::dirfd(m_stream.get()), entry.name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(own.st_mode);
        }
        PathInfo info;
        QueryEntry(entry.name, info);
        entry.kind = info.kind;
        break;
    }
    default:
        entry.kind = PathKind::Other;
        break;
    }
    return true;
}

bool DirectoryReader::QueryEntry(const std::string& name, PathInfo& info) const {
    info = PathInfo{};
    if (!m_stream) {
        return false;
    }
    struct stat status {};
    if (::fstatat(::dirfd(m_stream.get()), name.c_str(), &status, 0) != 0) {
        return false;
    }
    info.kind = KindOf(status);
    info.size = static_cast<int64_t>(status.st_size);
    info.lastWriteTime = static_cast<int64_t>(status.st_mtim.tv_sec);
    return true;
}

} // namespace Vuxo
