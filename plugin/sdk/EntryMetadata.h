// What the archive formats record of a file besides its data: the MS-DOS time stamp and the Windows
// attribute bits. Free functions without state.
#pragma once

#include "plugin/sdk/DirectoryListing.h"

#include <cstdint>
#include <string_view>

namespace Vuxo {

struct DosDateTime {
    uint16_t time = 0;
    uint16_t date = 0;
};

// The MS-DOS date and time of a moment given in seconds since 1970, taken in UTC. MS-DOS time covers
// 1980-01-01 00:00:00 to 2107-12-31 23:59:58 in steps of two seconds; moments outside are clamped.
DosDateTime ToDosDateTime(int64_t unixSeconds);

constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeHidden = 0x02;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;

// The Windows attributes of an entry: folder or archive, read-only when its owner cannot write it,
// hidden when its name starts with ".".
uint32_t WindowsAttributes(const EntryStatus& status, std::string_view name);

} // namespace Vuxo
