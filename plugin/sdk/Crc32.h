// The CRC-32 of ZIP and RAR (ISO-HDLC, reflected polynomial 0xEDB88320) over libdeflate's implementation,
// which folds with carry-less multiplication where the processor offers it (several times zlib's speed).
// Stateless; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vuxo {

// Feeds `length` bytes into a running CRC without presetting or inverting it: start with 0xFFFFFFFF and
// store the complement of the result to get the standard CRC-32.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t length);

} // namespace Vuxo
