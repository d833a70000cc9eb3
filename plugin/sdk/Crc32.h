// The CRC-32 of ZIP and RAR (ISO-HDLC, reflected polynomial 0xEDB88320) over zlib's implementation.
// Stateless; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vuxo {

// Feeds `length` bytes into a running CRC without presetting or inverting it: start with 0xFFFFFFFF and
// store the complement of the result to get the standard CRC-32.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t length);

} // namespace Vuxo
