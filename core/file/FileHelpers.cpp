#include "core/file/FileHelpers.h"

#include "core/platform/fs/FileCalls.h"

namespace Vuxo {

int64_t GetFileSizeByPath(const std::string& utf8Path) {
    PathInfo info;
    if (!QueryPath(utf8Path, info)) {
        return -1;
    }
    // A folder has no content size of its own.
    return info.kind == PathKind::Directory ? 0 : info.size;
}

bool FileExists(const std::string& utf8Path) {
    PathInfo info;
    return QueryPath(utf8Path, info);
}

} // namespace Vuxo
