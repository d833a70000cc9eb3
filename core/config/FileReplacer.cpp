#include "core/config/FileReplacer.h"

#include "core/platform/fs/FileCalls.h"
#include "core/platform/fs/FileDescriptor.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Vuxo {

namespace {

std::string ResolveTarget(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        const auto target = std::filesystem::canonical(path, error);
        if (!error) {
            return target.string();
        }
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// An existing file that we could not open for writing is not replaced behind its owner's back.
bool MayOverwrite(const std::string& path) {
    if (faccessat(AT_FDCWD, path.c_str(), F_OK, AT_EACCESS) != 0) {
        return errno == ENOENT;
    }
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Flushes the folder entry after a rename. Some file systems cannot sync a folder; that is no failure.
bool SyncFolder(const std::string& folder) {
    FileDescriptor descriptor(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!descriptor.IsValid()) {
        return false;
    }
    if (fsync(descriptor.Get()) != 0 && errno != EINVAL && errno != ENOTSUP) {
        return false;
    }
    return descriptor.Close();
}

// A temporary file that is removed unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) {
        const auto slash = target.find_last_of('/');
        const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        std::string pattern = folder + "." + name + ".XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        m_descriptor = FileDescriptor(mkostemp(buffer.data(), O_CLOEXEC));
        if (m_descriptor.IsValid()) {
            m_path = buffer.data();
        }
    }
    ~TemporaryFile() {
        if (!m_path.empty()) {
            unlink(m_path.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool IsOpen() const { return m_descriptor.IsValid(); }
    int Descriptor() const { return m_descriptor.Get(); }
    bool Close() { return m_descriptor.Close(); }

    bool RenameTo(const std::string& target) {
        if (rename(m_path.c_str(), target.c_str()) != 0) {
            return false;
        }
        m_path.clear();
        return true;
    }

private:
    FileDescriptor m_descriptor;
    std::string m_path;
};

} // namespace

bool ReplaceFileContents(const std::string& path, std::string_view contents, unsigned mode) {
    const std::string target = ResolveTarget(path);
    if (!MayOverwrite(target)) {
        return false;
    }
    TemporaryFile temporary(target);
    if (!temporary.IsOpen()) {
        return false;
    }
    if (fchmod(temporary.Descriptor(), static_cast<mode_t>(mode)) != 0) {
        return false;
    }
    if (WriteFully(temporary.Descriptor(), contents.data(), contents.size()) != contents.size()) {
        return false;
    }
    if (!SyncDescriptor(temporary.Descriptor()) || !temporary.Close()) {
        return false;
    }
    if (!temporary.RenameTo(target)) {
        return false;
    }
    return SyncFolder(FolderOf(target));
}

} // namespace Vuxo
