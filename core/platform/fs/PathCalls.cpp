#include "core/platform/fs/PathCalls.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Vuxo {

int CheckPathAccess(const std::string& path, PathAccess access) {
    const int mode = access == PathAccess::Write ? W_OK : F_OK;
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0 ? 0 : errno;
}

namespace {

LinkStatus QueryLinkStatusAt(int folder, const std::string& name) {
    struct stat info {};
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? LinkStatus::Missing : LinkStatus::Unknown;
    }
    return S_ISLNK(info.st_mode) ? LinkStatus::SymbolicLink : LinkStatus::NotLink;
}

} // namespace

LinkStatus QueryLinkStatus(const std::string& path) {
    return QueryLinkStatusAt(AT_FDCWD, path);
}

LinkStatus QueryLinkStatusIn(const FileDescriptor& folder, const std::string& name) {
    return QueryLinkStatusAt(folder.Get(), name);
}

std::string ResolveRealPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

FileDescriptor CreateUniqueFile(const std::string& prefix, std::string& path) {
    const std::string pattern = prefix + "XXXXXX";
    std::vector<char> name(pattern.c_str(), pattern.c_str() + pattern.size() + 1); // mkostemp fills in the X
    FileDescriptor file(::mkostemp(name.data(), O_CLOEXEC));
    if (file.IsValid()) {
        path = name.data();
    }
    return file;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool RemoveFileIn(const FileDescriptor& folder, const std::string& name) {
    return ::unlinkat(folder.Get(), name.c_str(), 0) == 0;
}

size_t NameLengthLimitIn(const FileDescriptor& folder) {
    const long limit = ::fpathconf(folder.Get(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : kCommonNameLengthLimit;
}

int MakeFolderIn(const FileDescriptor& folder, const std::string& name) {
    return ::mkdirat(folder.Get(), name.c_str(), 0777) == 0 ? 0 : errno;
}

bool SyncFolder(const std::string& folder) {
    FileDescriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!descriptor.IsValid()) {
        return false;
    }
    if (::fsync(descriptor.Get()) != 0 && errno != EINVAL && errno != ENOTSUP) {
        return false;
    }
    return descriptor.Close();
}

} // namespace Vuxo
