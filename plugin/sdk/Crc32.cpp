#include "plugin/sdk/Crc32.h"

#include <zlib.h>

namespace Vuxo {

uint32_t Crc32Update(uint32_t crc, const void* data, size_t length) {
    // zlib presets and inverts around its loop; undo both so callers keep the raw running value.
    return ~static_cast<uint32_t>(::crc32_z(~crc & 0xFFFFFFFFu, static_cast<const Bytef*>(data), length));
}

} // namespace Vuxo
