// Queries on a path without opening it.
#pragma once

#include <cstdint>
#include <string>

namespace Vuxo {

// Size of the file at `utf8Path` (following links), or -1 when it cannot be queried.
int64_t GetFileSizeByPath(const std::string& utf8Path);
// True when the path names an existing file or folder.
bool FileExists(const std::string& utf8Path);

} // namespace Vuxo

using Vuxo::FileExists;
using Vuxo::GetFileSizeByPath;
