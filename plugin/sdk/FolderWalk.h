// A depth-first walk over a folder tree that keeps the folders still to finish in a list of its own, so
// that the depth of a tree (anyone with the upload right can make one thousands of levels deep) never
// decides the depth of the stack: the plug-ins run on connection threads with small stacks. Entries come
// in the order a recursive walk gives them: a folder's entries by name, a sub-folder's contents right
// after the sub-folder itself. Only the folder being read is open; those it lies in are kept as their
// entry lists, so a deep walk holds no descriptors. The caller opens each folder (from the walk's paths)
// and hands it to Enter. Owned by the function that walks; one thread.
#pragma once

#include "plugin/sdk/DirectoryListing.h"

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace Vuxo {

class FolderWalk {
public:
    // Enters the open folder `listing` whose path is `rel` ("" for the folder the walk starts at, else
    // the path Next just gave): its entries come next. False, and nothing entered, when it is one of the
    // folders the walk is inside of (reached again below itself through a bind mount).
    bool Enter(const std::string& rel, DirectoryListing& listing);
    // Leaves out the rest of the folder entered last.
    void Leave();
    // The next entry: its path ("/"-separated, relative to the start's own path) and what its folder's
    // listing said of it. False once every folder entered is finished.
    bool Next(std::string& rel, DirectoryEntry& entry);

private:
    struct Folder {
        std::vector<DirectoryEntry> entries;
        size_t next = 0;
        size_t prefixLength = 0; // of the prefix its entries' paths have
        dev_t device = 0;
        ino_t inode = 0;
    };

    void Pop();

    std::vector<Folder> m_folders; // the innermost last
    std::string m_prefix;          // the innermost folder's path with its "/" ("" at the start)
};

} // namespace Vuxo
