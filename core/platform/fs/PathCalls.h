// The calls on names in the file system that the core needs beside opening files: access and link
// checks, the real path of a name, a uniquely named new file, renaming over a file, removing a file, the
// longest name a folder takes and flushing a folder's entries. Stateless; every function is safe on any
// thread.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <cstddef>
#include <string>

namespace Vuxo {

enum class PathAccess { Exists, Write };

// Whether the process, with its effective user and group ids, may reach `path` in that way (links
// followed). 0 when it may, else the errno value: ENOENT when `path` does not exist.
int CheckPathAccess(const std::string& path, PathAccess access);

// What stands at `path` itself, a final symbolic link not followed. Missing when the name or a folder on
// its way does not exist; Unknown when it cannot be examined for another reason (no permission, a name
// too long, ...).
enum class LinkStatus { Missing, SymbolicLink, NotLink, Unknown };
LinkStatus QueryLinkStatus(const std::string& path);
// The same for `name` in the open `folder`.
LinkStatus QueryLinkStatusIn(const FileDescriptor& folder, const std::string& name);

// The canonical absolute path of `path` with every symbolic link resolved; "" when some part of it does
// not exist or cannot be resolved.
std::string ResolveRealPath(const std::string& path);

// Creates a new, empty file named `prefix` followed by six random characters, open for reading and
// writing (close-on-exec, mode 0600), and sets `path` to its name. An invalid descriptor (and `path`
// untouched) on failure.
FileDescriptor CreateUniqueFile(const std::string& prefix, std::string& path);

// Renames `from` to `to` in one step, replacing a file that `to` names. False on failure.
bool RenameReplacing(const std::string& from, const std::string& to);

// Removes the name `path` of a file (not of a folder). False on failure.
bool RemoveFile(const std::string& path);
// The same for `name` in the open `folder`.
bool RemoveFileIn(const FileDescriptor& folder, const std::string& name);

// The longest name in bytes that the file system of the open `folder` takes; when it cannot say,
// kCommonNameLengthLimit, the limit of Linux's own file systems.
constexpr size_t kCommonNameLengthLimit = 255;
size_t NameLengthLimitIn(const FileDescriptor& folder);

// Makes the folder `name` in the open `folder` (mode 0777 less the umask). 0 or the errno value: EEXIST
// when anything has that name.
int MakeFolderIn(const FileDescriptor& folder, const std::string& name);

// Flushes the entries of `folder` to disk, so that a rename into it survives a crash. A file system that
// cannot sync a folder counts as success.
bool SyncFolder(const std::string& folder);

} // namespace Vuxo
