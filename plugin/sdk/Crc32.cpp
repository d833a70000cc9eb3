#include "plugin/sdk/Crc32.h"

#include <libdeflate.h>

namespace Vuxo {

uint32_t Crc32Update(uint32_t crc, const void* data, size_t length) {
    // libdeflate presets and inverts around its loop; undo both so callers keep the raw running value.
    return ~libdeflate_crc32(~crc, data, length);
}

} // namespace Vuxo
