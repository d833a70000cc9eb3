// Creating a file only under a free name and renaming only onto a free name: the two calls that let an
// upload reserve its names without ever replacing a file that appeared between the choice of a name and
// its use. Stateless; every function is safe on any thread.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <string>

namespace Vuxo {

// Creates `path` as a new, empty regular file open for writing (close-on-exec; mode 0666 less the
// umask). Fails with EEXIST when anything, a dangling symbolic link included, already has that name.
// On failure the descriptor is invalid and `error` (when given) holds the errno value.
FileDescriptor CreateNewFile(const std::string& path, int* error = nullptr);
// The same for `name` in the open `folder`, so that the file lands in that very folder.
FileDescriptor CreateNewFileIn(const FileDescriptor& folder, const std::string& name, int* error = nullptr);

// Renames `from` to `to` unless `to` exists. 0 on success, else the errno value: EEXIST when `to` is
// taken. Where the file system cannot rename without replacing, a hard link to the new name followed by
// the removal of the old one gives the same guarantee.
int RenameNoReplace(const std::string& from, const std::string& to);
// The same for two names in the open `folder`.
int RenameNoReplaceIn(const FileDescriptor& folder, const std::string& from, const std::string& to);

} // namespace Vuxo
