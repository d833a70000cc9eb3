// MountManager: the shares ("mounts"). Each maps a share name, the first segment of every request path, to
// one local folder or file. The server object creates and owns the one instance; connection threads turn
// request paths into local paths through it, the account store reads records, the shell adds, removes,
// renames and lists shares. Every change is written into the configuration list `mounts` and the
// configuration is saved at once.
//
// Locking: one reader-writer lock guards the map; every request reads it, so readers never wait for each
// other (thousands of connection threads queued on one exclusive lock behind a holder the scheduler had
// set aside, and answered seconds late). It is never held during file-system work, during
// the change listener, while the configuration list is written or while the file is saved (a save holds
// the list lock during its disk write), so requests never wait for the disk. A second lock only keeps the
// writers of `mounts` in order. Lock order: account store, then this manager (the manager never calls the
// account store).
//
// GetLocalPath is the ONE checked resolver from a request path to a local path; every processor that
// touches the file system (folder list, download, upload, make folder, plug-in selections) uses it, so no
// request can leave a share. What a request reads or writes is opened through OpenFile and OpenFolder,
// never by the local path's text: they open below the share's own folder, so that the descriptor itself
// lies inside the share even when a link is swapped in between the check and the open. It gives "" for a rest
// that holds a parent reference ("..", as a component separated by "/" or "\"), starts with "/" or "\" (an
// absolute part), or holds a NUL byte; and for a rest that a symbolic link inside the share carries outside
// the share's own real root (a dangling link, which a create would follow out of the share, is refused as
// well). Components that do not exist yet (an upload target, a new folder) are allowed, since nothing in them
// can point anywhere.
#pragma once

#include "core/file/PelkFile.h"
#include "core/platform/fs/FileDescriptor.h"
#include "core/thread/CriticalSection.h"
#include "service/config/QuilloConfig.h"
#include "service/mounts/Mount.h"

#include <cstdint>
#include <functional>
#include <map>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

// A share name that can be requested and stored: non-empty, valid UTF-8, not "." or "..", and free of
// "/", "\" and control characters (a newline included).
bool IsValidMountName(std::string_view name);

class MountManager {
public:
    // Loads the shares from `config`'s list `mounts`. When any item was bad, one LOG_ALERT trace (the
    // shell shows it as a message box) tells the user that part of the file was ignored.
    explicit MountManager(QuilloConfig& config = QuilloConfig::GetInstance());
    virtual ~MountManager();
    MountManager(const MountManager&) = delete;
    MountManager& operator=(const MountManager&) = delete;

    // Replaces the shares with the items of `mounts`, in list order; the first of two items with the same
    // name stays. False when at least one item was bad (it is skipped).
    bool LoadMounts();
    // Rewrites the list `mounts`: one item per share in ascending name order.
    void StoreMounts();
    // StoreMounts, then the listener, then the configuration is saved.
    void SaveMounts();

    // The local path of a request path already split at its first "/" into share name and rest, or "" (no
    // such share, nothing below a file share, or a refused rest; see above). A folder share gives its
    // folder + "/" + rest (so "" and "/" rests both end in "/"); a file share gives its file for an empty
    // rest only.
    std::string GetLocalPath(const std::string& mountName, const std::string& rest) const;
    // The same for a whole request path (no leading "/"), split here at its first "/".
    std::string GetLocalPath(std::string_view requestPath) const;
    // GetLocalPath without its look at the links on the way (no file-system call): for a path whose target
    // is only opened through OpenFile, which proves by itself that what it opens lies inside the share. ""
    // where GetLocalPath refuses without looking at the disk. Never query or open by this text.
    std::string GetLocalPathForOpen(std::string_view requestPath) const;
    // GetLocalPath is non-empty and names something that exists (links followed).
    bool PathExists(const std::string& mountName, const std::string& rest) const;
    bool PathExists(std::string_view requestPath) const;

    // Opens the regular file a request path names for a shared read, proven to lie inside the share (a
    // link that stays inside is followed). False when GetLocalPath would refuse the path or the file
    // cannot be opened.
    bool OpenFile(std::string_view requestPath, PelkFile& file) const;
    // The folder a request path names, open for its entries and for calls inside it, proven in the same
    // way; invalid when there is none (no such share, a file share, a refused path, not a folder).
    FileDescriptor OpenFolder(std::string_view requestPath) const;

    // A copy of the share's record, id included; false (and `mount` untouched) when there is none.
    bool GetMount(const std::string& name, Mount& mount) const;
    // The share's id and kind without copying a record (a copy would draw a new id per call); false when
    // there is no such share. For per-request lookups such as the account store's rights.
    bool GetMountIdentity(const std::string& name, uint32_t& id, bool& isDirectory) const;
    // Appends every share name in ascending byte order (the vector is not cleared first).
    void ListMountNames(std::vector<std::string>& names) const;

    // Shares a local folder or file under the name of its last component and gives that name, or "" when
    // the path does not exist, is the root folder "/" (the whole system is never shared), or a share of
    // that name exists. The stored path is absolute and normalised, without a trailing "/". A "\" or a
    // control character in the folder's name becomes "_" in the share name and invalid UTF-8 becomes
    // U+FFFD, so that every share can be requested.
    std::string AddMount(const std::string& localPath);
    // False when the name is absent.
    bool RemoveMount(const std::string& name);
    // Moves the record (id included) to the new name. False when the old name is absent, the new name is
    // present (so renaming to the same name fails) or the new name is not IsValidMountName.
    bool RenameMount(const std::string& oldName, const std::string& newName);
    // Overwrites the record of an existing share with a copy of `mount`, id included.
    bool SetMount(const std::string& name, const Mount& mount);

    // Called after every successful change, once `mounts` holds the new list and before the configuration
    // is saved, outside the manager's lock. The account store uses it to rebuild its own lists, so that a
    // renamed or removed share's rights reach the file with the same save. Empty to clear.
    void SetChangeListener(std::function<void()> listener);

private:
    using MountMap = std::map<std::string, Mount>;

    // The steps after a successful change: StoreMounts, listener, save.
    void CommitChange();
    // The share's own folder or file and its kind; false for an unknown share, a rest IsSafeShareRest
    // refuses, and any rest below a file share.
    bool Locate(const std::string& mountName, const std::string& rest, std::string& root,
                bool& isDirectory) const;
    // The same for a whole request path, split here; `rest` receives its part below the share.
    bool Locate(std::string_view requestPath, std::string& root, std::string& rest) const;

    QuilloConfig& m_config;
    CriticalSection m_storeLock; // taken before m_lock, never after it
    mutable std::shared_mutex m_lock;
    MountMap m_mounts;
    std::function<void()> m_listener;
};

} // namespace Vuxo
