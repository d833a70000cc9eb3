// Little-endian record building for the archive headers: appends to a byte string owned by the caller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Vuxo {

class ByteWriter {
public:
    explicit ByteWriter(std::string& out) : m_out(out) {}

    ByteWriter& U8(uint8_t value) {
        m_out.push_back(static_cast<char>(value));
        return *this;
    }
    ByteWriter& U16(uint16_t value) {
        return U8(static_cast<uint8_t>(value)).U8(static_cast<uint8_t>(value >> 8));
    }
    ByteWriter& U32(uint32_t value) {
        return U16(static_cast<uint16_t>(value)).U16(static_cast<uint16_t>(value >> 16));
    }
    ByteWriter& U64(uint64_t value) {
        return U32(static_cast<uint32_t>(value)).U32(static_cast<uint32_t>(value >> 32));
    }
    ByteWriter& Bytes(std::string_view bytes) {
        m_out.append(bytes);
        return *this;
    }

private:
    std::string& m_out;
};

} // namespace Vuxo
