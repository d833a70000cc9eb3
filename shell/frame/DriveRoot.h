// Whether a local path is the top folder of a file system ("/" or a mount point such as /media/usb): what
// the add-share command warns about, as sharing it hands out a whole drive. Stateless.
#pragma once

#include <string>

namespace Vuxo {

// True for "/" and for a folder on another device than its parent folder (links followed). False for
// anything that cannot be queried.
bool IsDriveRoot(const std::string& path);

} // namespace Vuxo
