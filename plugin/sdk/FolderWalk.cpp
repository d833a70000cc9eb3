#include "plugin/sdk/FolderWalk.h"

#include <algorithm>
#include <utility>

namespace Vuxo {

bool FolderWalk::Enter(const std::string& rel, DirectoryListing& listing) {
    const EntryStatus& self = listing.GetSelfStatus();
    const bool inside = std::any_of(m_folders.begin(), m_folders.end(), [&](const Folder& folder) {
        return folder.device == self.device && folder.inode == self.inode;
    });
    if (inside) {
        return false;
    }
    m_prefix = rel.empty() ? std::string() : rel + "/";
    m_folders.push_back(Folder{listing.ReadEntries(), 0, m_prefix.size(), self.device, self.inode});
    return true;
}

void FolderWalk::Leave() {
    if (!m_folders.empty()) {
        Pop();
    }
}

void FolderWalk::Pop() {
    m_folders.pop_back();
    m_prefix.resize(m_folders.empty() ? 0 : m_folders.back().prefixLength);
}

bool FolderWalk::Next(std::string& rel, DirectoryEntry& entry) {
    while (!m_folders.empty()) {
        Folder& folder = m_folders.back();
        if (folder.next < folder.entries.size()) {
            entry = std::move(folder.entries[folder.next++]);
            rel = m_prefix + entry.name;
            return true;
        }
        Pop();
    }
    return false;
}

} // namespace Vuxo
