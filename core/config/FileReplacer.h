// Replaces a settings file so that it is never seen half-written: the new contents go to a temporary
// file beside it, are flushed to disk and renamed over the old file, and the folder entry is flushed.
// A crash or a full disk before the rename leaves the old file as it was. Stateless; callers that save
// the same file from several threads serialise their calls.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

// Writes `contents` as the file `path` with the permission bits `mode`. A symbolic link at `path` is
// followed, so the file it points at is replaced and the link stays. False when any step fails (a file
// that the caller may not write is refused, as opening it for writing would be); the old file is then
// untouched and no temporary file is left behind.
bool ReplaceFileContents(const std::string& path, std::string_view contents, unsigned mode);

} // namespace Vuxo
