// An owned directory stream (opendir/readdir): the entries of one folder, "." and ".." included, in the
// order the file system gives them. Not thread-safe; one owner at a time.
#pragma once

#include "core/platform/fs/FileCalls.h"

#include <dirent.h>
#include <memory>
#include <string>

namespace Vuxo {

struct DirectoryEntry {
    std::string name;
    PathKind kind = PathKind::Other; // links are followed; Missing for a dangling link
    bool isLink = false;             // the entry itself is a symbolic link
};

class DirectoryReader {
public:
    DirectoryReader() = default;

    // Closes a running stream and opens `path` (close-on-exec); false when it is not a readable folder.
    bool Open(const std::string& path);
    // The same for a folder already open for reading (OpenFolderBeneath); takes the descriptor over.
    bool Open(FileDescriptor folder);
    bool IsOpen() const { return m_stream != nullptr; }
    // The next entry; false at the end or on an error.
    bool Next(DirectoryEntry& entry);
    // Queries an entry of the open folder by name (links followed).
    bool QueryEntry(const std::string& name, PathInfo& info) const;
    void Close() { m_stream.reset(); }

private:
    struct StreamCloser {
        void operator()(DIR* stream) const { ::closedir(stream); }
    };
    std::unique_ptr<DIR, StreamCloser> m_stream;
};

} // namespace Vuxo
