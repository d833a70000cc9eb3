// Byte ranges of an HTTP "Range" header: parsing, resolving against the size of the entity, sorting and
// merging, and the texts of a partial (206) or unsatisfiable (416) answer. Multipart answers are not
// produced, so the caller serves exactly one resolved range.
// A value object used by one request on one thread; no lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

// One range as the client wrote it.
struct ByteRangeSpec {
    static constexpr int kClosed = 0; // "first-last"
    static constexpr int kOpen = 1;   // "first-": to the end
    static constexpr int kSuffix = 2; // "-n": the last n bytes; `first` holds n until resolved

    int kind = kOpen;
    int64_t first = 0;
    int64_t last = 0; // meaningful for kClosed only until resolved

    // Reads one spec: "first-last", "first-" or "-n", blanks around the numbers allowed. False for
    // anything else (a sign, a non-digit, a missing number) and for a last byte before the first.
    // A number too large for 64 bits saturates.
    bool Parse(std::string_view text);

    // A closed range that ends before it begins ("500-100"); such a range can never be served.
    bool IsInverted() const { return kind == kClosed && first > last; }
};

class RangeHeader {
public:
    // One default range (the whole entity), not resolved.
    RangeHeader();

    // True for a value in a unit other than "bytes" ("items=0-1"): RFC 9110 has such a header ignored,
    // the whole entity being the answer. A value without any unit is no such value but a malformed one.
    static bool UsesOtherUnit(std::string_view value);

    // Parses a header value such as "bytes=0-99,200-". False for a unit other than "bytes" or a piece
    // that is not a range; the ranges read before the bad piece stay.
    bool Parse(std::string_view value);

    // Turns every range into absolute positions within an entity of `entityLength` bytes, then sorts and
    // merges them: an end past the entity's end becomes its end, a suffix longer than the entity the whole
    // entity, and a range that starts at or past the end (every range of an empty entity, the suffix "-0")
    // is dropped. False (and still unresolved) when already resolved or when no range is left to serve.
    bool Resolve(int64_t entityLength);

    // Sorts (positional ranges by first, then suffixes longest first) and merges overlapping or touching
    // positional ranges; suffixes after the longest one are dropped. Inverted ranges are never merged.
    void SortAndMerge();

    int GetRangeCount() const { return static_cast<int>(m_ranges.size()); }
    const std::vector<ByteRangeSpec>& GetRanges() const { return m_ranges; }
    bool IsResolved() const { return m_resolved; }
    int64_t GetEntityLength() const { return m_entityLength; }

    // "bytes first-last/length" of the first range once resolved, else "".
    std::string GetContentRangeValue() const;
    // "bytes */length": the value of the header that tells a refused client the entity's length.
    static std::string GetUnsatisfiedContentRangeValue(int64_t entityLength);

    static int GetPartialContentStatus() { return 206; }
    static const char* GetPartialContentReason() { return "Partial Content"; }
    static int GetNotSatisfiableStatus() { return 416; }
    static const char* GetNotSatisfiableReason() { return "Requested Range Not Satisfiable"; }
    static const char* GetContentRangeHeaderName() { return "Content-range"; }

private:
    std::vector<ByteRangeSpec> m_ranges;
    bool m_resolved = false;
    int64_t m_entityLength = 0;
};

} // namespace Vuxo
