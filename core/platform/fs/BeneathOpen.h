// Opening a name below a trusted folder so that the descriptor itself is proven to lie below it, however
// the entries on the way change meanwhile: a check of the path followed by an open of the same text can
// be outwitted by a link swapped in between, an open that resolves and opens in one step cannot.
// Stateless; every function is safe on any thread.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <string>
#include <string_view>

namespace Vuxo {

// Opens `rest` ("/"-separated, relative) below the folder `root` with the open(2) `flags` (close-on-exec
// added) and, for a creation, `mode`. Symbolic links on the way are followed only while they stay below
// `root`: a relative one from the folder that holds it, an absolute one when it names `root` or a place
// below it (by `root`'s own text or by its real path); ".." never climbs above `root`. An empty `rest`
// opens `root` itself (a trusted name: links in it are followed). On failure the descriptor is invalid
// and `error` (when given) holds the errno value: EXDEV for a name that leads out of `root`, ELOOP for
// too many links.
FileDescriptor OpenBeneath(const std::string& root, std::string_view rest, int flags, unsigned mode = 0,
                           int* error = nullptr);

// The same, one component at a time with openat and O_NOFOLLOW, without openat2. OpenBeneath uses it
// where the kernel has no openat2, and for a name openat2 refuses that may still stay inside (an absolute
// link back into `root`). Declared so that tests run it on kernels that do have openat2.
FileDescriptor OpenBeneathByWalk(const std::string& root, std::string_view rest, int flags, unsigned mode = 0,
                                 int* error = nullptr);

} // namespace Vuxo
