// Folder listings for the plug-ins' walks over opendir/readdir/fstatat. A listing owns its DIR*; the
// walker that made it owns the listing. Only regular files and folders are ever reported: a FIFO or
// device would block or stream for ever, and a symbolic link to a folder is left out so that no walk can
// loop through links (FolderWalk guards against bind-mount loops). Used by one thread at a time.
#pragma once

#include <cstdint>
#include <dirent.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace Vuxo {

struct EntryStatus {
    bool isDirectory = false;
    uint64_t size = 0;    // 0 for folders
    int64_t modified = 0; // last write, seconds since 1970 (UTC)
    unsigned mode = 0;    // st_mode
    dev_t device = 0;
    ino_t inode = 0;
    bool throughLink = false; // a listed entry reached through a symbolic link
};

// The status of a regular file or folder, following symbolic links. False for anything else or when
// it cannot be had.
bool GetEntryStatus(const std::string& path, EntryStatus& out);
// The same for an open file or folder.
bool GetEntryStatus(int descriptor, EntryStatus& out);

struct DirectoryEntry {
    std::string name;
    EntryStatus status;
};

class DirectoryListing {
public:
    DirectoryListing() = default;
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;
    ~DirectoryListing();

    // Opens a folder; false when it cannot be read.
    bool Open(const std::string& path);
    // Opens the folder `inside` below `root`, proven to lie below it whatever links are swapped in
    // meanwhile (links that stay below are followed); "" opens `root` itself.
    bool Open(const std::string& root, const std::string& inside);
    // The status of the open folder itself.
    const EntryStatus& GetSelfStatus() const { return m_self; }
    // Every regular file and folder in it ("." and ".." left out; symbolic links to files followed,
    // to folders left out), sorted by name byte by byte so that archives come out the same every time.
    std::vector<DirectoryEntry> ReadEntries();

private:
    bool Adopt(DIR* dir);
    void Close();

    DIR* m_dir = nullptr;
    EntryStatus m_self;
};

} // namespace Vuxo
