#include "plugin/sdk/DirectoryListing.h"

#include "core/platform/fs/BeneathOpen.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace Vuxo {

namespace {

bool FillStatus(const struct stat& st, EntryStatus& out) {
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        return false;
    }
    out.isDirectory = S_ISDIR(st.st_mode);
    out.size = out.isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
    out.modified = static_cast<int64_t>(st.st_mtim.tv_sec);
    out.mode = st.st_mode;
    out.device = st.st_dev;
    out.inode = st.st_ino;
    return true;
}

} // namespace

bool GetEntryStatus(const std::string& path, EntryStatus& out) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && FillStatus(st, out);
}

bool GetEntryStatus(int descriptor, EntryStatus& out) {
    struct stat st {};
    return ::fstat(descriptor, &st) == 0 && FillStatus(st, out);
}

DirectoryListing::~DirectoryListing() {
    Close();
}

void DirectoryListing::Close() {
    if (m_dir != nullptr) {
        ::closedir(m_dir);
        m_dir = nullptr;
    }
}

bool DirectoryListing::Open(const std::string& path) {
    Close();
    return Adopt(::opendir(path.c_str()));
}

bool DirectoryListing::Open(const std::string& root, const std::string& inside) {
    Close();
    FileDescriptor folder = OpenBeneath(root, inside, O_RDONLY | O_DIRECTORY | O_NOCTTY);
    DIR* dir = folder.IsValid() ? ::fdopendir(folder.Get()) : nullptr;
    if (dir != nullptr) {
        folder.Release(); // the stream owns it now
    }
    return Adopt(dir);
}

bool DirectoryListing::Adopt(DIR* dir) {
    m_dir = dir;
    if (m_dir == nullptr) {
        return false;
    }
    struct stat st {};
    if (::fstat(::dirfd(m_dir), &st) != 0 || !FillStatus(st, m_self) || !m_self.isDirectory) {
        Close();
        return false;
    }
    return true;
}

std::vector<DirectoryEntry> DirectoryListing::ReadEntries() {
    std::vector<DirectoryEntry> entries;
    if (m_dir == nullptr) {
        return entries;
    }
    const int fd = ::dirfd(m_dir);
    while (const dirent* found = ::readdir(m_dir)) {
        const std::string name = found->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        const bool link = S_ISLNK(st.st_mode);
        if (link) {
            if (::fstatat(fd, name.c_str(), &st, 0) != 0 || !S_ISREG(st.st_mode)) {
                continue; // a dangling link, or a link to a folder, FIFO or device
            }
        }
        DirectoryEntry entry;
        entry.name = name;
        entry.status.throughLink = link;
        if (FillStatus(st, entry.status)) {
            entries.push_back(std::move(entry));
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return entries;
}

} // namespace Vuxo
