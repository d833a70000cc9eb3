// The program's folder: the folder of its executable, which becomes the working directory at start so
// that every relative name (mount.ini, skin/, plugin/, Language/, Log/, Error/) is relative to it.
#pragma once

#include <string>

namespace Vuxo {

// Absolute folder of /proc/self/exe, without a trailing slash; empty when it cannot be read.
std::string GetProgramFolder();
// Changes the working directory to GetProgramFolder(); false when that fails.
bool SetWorkingDirToProgramFolder();

} // namespace Vuxo
