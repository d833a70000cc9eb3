#include "core/config/FileReplacer.h"

#include "core/platform/fs/FileCalls.h"
#include "core/platform/fs/FileDescriptor.h"
#include "core/platform/fs/PathCalls.h"

#include <cerrno>
#include <filesystem>

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
    if (const int error = CheckPathAccess(path, PathAccess::Exists); error != 0) {
        return error == ENOENT;
    }
    return CheckPathAccess(path, PathAccess::Write) == 0;
}

// A temporary file that is removed unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) {
        const auto slash = target.find_last_of('/');
        const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        m_descriptor = CreateUniqueFile(folder + "." + name + ".", m_path);
    }
    ~TemporaryFile() {
        if (!m_path.empty()) {
            RemoveFile(m_path);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool IsOpen() const { return m_descriptor.IsValid(); }
    int Descriptor() const { return m_descriptor.Get(); }
    bool Close() { return m_descriptor.Close(); }

    bool RenameTo(const std::string& target) {
        if (!RenameReplacing(m_path, target)) {
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
    if (!SetDescriptorMode(temporary.Descriptor(), mode)) {
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
    // Flushes the folder entry of the rename, so that it survives a crash.
    return SyncFolder(FolderOf(target));
}

} // namespace Vuxo
