#include "core/http/DelimiterSearch.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

namespace Vuxo {

namespace {

// Each search tests 64 starts at a time on the delimiter's first and last byte together and compares only
// the rare start that has both whole; what is left past the last 64 goes to memmem.
inline const char* CompareCandidates(uint64_t mask, const char* at, std::string_view delimiter) {
    for (; mask != 0; mask &= mask - 1) {
        const char* start = at + __builtin_ctzll(mask);
        if (std::memcmp(start + 1, delimiter.data() + 1, delimiter.size() - 2) == 0) {
            return start;
        }
    }
    return nullptr;
}

inline const char* FindRest(const char* data, size_t size, size_t i, std::string_view delimiter) {
    return static_cast<const char*>(::memmem(data + i, size - i, delimiter.data(), delimiter.size()));
}

#if defined(__SSE2__)
// Bit k set: the 16 bytes at `at` hold the delimiter's first byte at k and its last byte d - 1 later.
inline __m128i EndsMatch16(const char* at, size_t d, __m128i first, __m128i last) {
    const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + d - 1));
    return _mm_and_si128(_mm_cmpeq_epi8(head, first), _mm_cmpeq_epi8(tail, last));
}

inline uint64_t MaskOf16(__m128i match) {
    return static_cast<unsigned>(_mm_movemask_epi8(match));
}

const char* FindSse2(const char* data, size_t size, std::string_view delimiter) {
    const size_t d = delimiter.size();
    const __m128i first = _mm_set1_epi8(delimiter.front());
    const __m128i last = _mm_set1_epi8(delimiter.back());
    const size_t starts = size - d + 1;
    size_t i = 0;
    for (; i + 64 <= starts; i += 64) {
        const char* at = data + i;
        const __m128i m0 = EndsMatch16(at, d, first, last);
        const __m128i m1 = EndsMatch16(at + 16, d, first, last);
        const __m128i m2 = EndsMatch16(at + 32, d, first, last);
        const __m128i m3 = EndsMatch16(at + 48, d, first, last);
        if (MaskOf16(_mm_or_si128(_mm_or_si128(m0, m1), _mm_or_si128(m2, m3))) == 0) {
            continue;
        }
        const uint64_t mask = MaskOf16(m0) | MaskOf16(m1) << 16 | MaskOf16(m2) << 32 | MaskOf16(m3) << 48;
        if (const char* hit = CompareCandidates(mask, at, delimiter)) {
            return hit;
        }
    }
    return FindRest(data, size, i, delimiter);
}
#endif

#if defined(__x86_64__)
// The same over 32 bytes a step, for processors with AVX2: the search costs about a fifth less, and on
// loopback it took 8 % of the receiving thread's time.
__attribute__((target("avx2"))) const char* FindAvx2(const char* data, size_t size,
                                                     std::string_view delimiter) {
    const size_t d = delimiter.size();
    const __m256i first = _mm256_set1_epi8(delimiter.front());
    const __m256i last = _mm256_set1_epi8(delimiter.back());
    const size_t starts = size - d + 1;
    size_t i = 0;
    for (; i + 64 <= starts; i += 64) {
        const char* at = data + i;
        const __m256i head0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        const __m256i tail0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + d - 1));
        const __m256i head1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32));
        const __m256i tail1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32 + d - 1));
        const __m256i m0 = _mm256_and_si256(_mm256_cmpeq_epi8(head0, first), _mm256_cmpeq_epi8(tail0, last));
        const __m256i m1 = _mm256_and_si256(_mm256_cmpeq_epi8(head1, first), _mm256_cmpeq_epi8(tail1, last));
        if (_mm256_testz_si256(_mm256_or_si256(m0, m1), _mm256_or_si256(m0, m1)) != 0) {
            continue;
        }
        const uint64_t mask = static_cast<uint32_t>(_mm256_movemask_epi8(m0)) |
                              static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(m1))) << 32;
        if (const char* hit = CompareCandidates(mask, at, delimiter)) {
            return hit;
        }
    }
    return FindRest(data, size, i, delimiter);
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

} // namespace

const char* FindDelimiterWithin(size_t widest, const char* data, size_t size, std::string_view delimiter) {
    if (delimiter.size() < 2 || size < delimiter.size()) {
        return nullptr;
    }
#if defined(__x86_64__)
    if (widest >= 32 && HasAvx2()) {
        return FindAvx2(data, size, delimiter);
    }
#endif
#if defined(__SSE2__)
    if (widest >= 16) {
        return FindSse2(data, size, delimiter);
    }
#endif
    return FindRest(data, size, 0, delimiter);
}

const char* FindDelimiter(const char* data, size_t size, std::string_view delimiter) {
    return FindDelimiterWithin(32, data, size, delimiter);
}

} // namespace Vuxo
