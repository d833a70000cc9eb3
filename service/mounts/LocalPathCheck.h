// The checks behind MountManager::GetLocalPath: what a request's rest below a folder share may hold, and
// whether symbolic links inside the share keep it inside. Stateless; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

// False for a rest that holds a NUL byte, starts with "/" or "\" (an absolute part), or has ".." as a
// component when either "/" or "\" is read as a separator ("a/../x", "a\..\x", "..", "x/..").
bool IsSafeShareRest(std::string_view rest);

// Walks the components of `rest` (already IsSafeShareRest) below the folder `shareRoot`: every symbolic
// link met must resolve, and to a place inside the share's real root. The walk ends at the first component
// that does not exist (nothing below it can exist either). False as well when the share's root cannot be
// resolved or a component cannot be examined for another reason than not existing.
bool StaysInsideShare(const std::string& shareRoot, std::string_view rest);

// shareRoot + "/" + rest, without doubling a "/" that ends shareRoot.
std::string JoinSharePath(const std::string& shareRoot, std::string_view rest);

} // namespace Vuxo
