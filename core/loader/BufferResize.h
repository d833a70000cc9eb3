// Sizing a buffer for a size read from a file or an archive entry, which may be more than the memory can
// hold: the failure is reported, never thrown. Stateless.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>

namespace Vuxo {

// Resizes `buffer` (a std::string or std::vector<char>) to `size` elements; false when it cannot hold them.
template <typename Buffer> bool ResizeBuffer(Buffer& buffer, uint64_t size) {
    if (size > buffer.max_size()) {
        return false;
    }
    try {
        buffer.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

} // namespace Vuxo
