// Mount: what is kept per share (the share name is the key of the manager's map, not part of the record),
// and the text form of one share in the configuration list `mounts`:
//   UrlEncode(name) | UrlEncode(local path) | UrlEncode(reservedText) | yes/no (folder) | x | yes/no
//   (reservedFlag)
// Plain values; the MountManager's lock guards the records it holds.
#pragma once

#include "service/mounts/SequenceId.h"

#include <string>
#include <string_view>

namespace Vuxo {

struct Mount {
    // The local folder or file (UTF-8 bytes as the file system gives them); a share added at run time
    // never ends in "/".
    std::string localPath;
    // Only loaded and written back; empty for a share added at run time.
    std::string reservedText;
    // The path was a folder when the share was added; never refreshed afterwards.
    bool isDirectory = false;
    // Only loaded and written back; false for a share added at run time.
    bool reservedFlag = false;
    // A new number for every record made, copied along with the record (a rename keeps it).
    SequenceId id;
};

// Reads one `mounts` item. False (outputs untouched) unless the item has exactly six "|"-separated parts,
// a non-empty share name without "/" and NUL, and a non-empty local path without NUL. The folder and
// reserved flags are true only for the exact text "yes"; the fifth part is not looked at.
bool ParseMountEntry(std::string_view text, std::string& name, Mount& mount);

// The item text of one share (the id is not part of it).
std::string FormatMountEntry(const std::string& name, const Mount& mount);

} // namespace Vuxo
