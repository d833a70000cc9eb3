// Saturating 64-bit arithmetic for byte counts, positions and speeds: loopback moves gigabytes per
// second, and a counter that wrapped would show nonsense or lift a limit. Header-only, stateless.
#pragma once

#include <cstdint>
#include <limits>

namespace Vuxo {

inline int64_t ClampToInt64(__int128 value) {
    if (value > std::numeric_limits<int64_t>::max()) {
        return std::numeric_limits<int64_t>::max();
    }
    if (value < std::numeric_limits<int64_t>::min()) {
        return std::numeric_limits<int64_t>::min();
    }
    return static_cast<int64_t>(value);
}

inline uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    uint64_t sum;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<uint64_t>::max() : sum;
}

// A count added to a signed total, stopping at INT64_MAX.
inline int64_t SaturatingAdd(int64_t total, uint64_t count) {
    return ClampToInt64(static_cast<__int128>(total) + count);
}

} // namespace Vuxo
