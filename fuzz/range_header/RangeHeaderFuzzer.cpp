// Feeds arbitrary Range values and entity lengths through parse and resolve, and checks what a
// successful resolve promises: every range closed, 0 <= first <= last < length, sorted, neither
// overlapping nor touching, and a Content-range value that names the first of them.
#include "core/http_headers/RangeHeader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first eight bytes pick the entity length; small lengths are the interesting ones, so most
    // inputs fold it into a few thousand bytes.
    uint64_t raw = 0;
    const size_t head = size < sizeof(raw) ? size : sizeof(raw);
    if (head > 0) {
        std::memcpy(&raw, data, head);
    }
    int64_t length = static_cast<int64_t>(raw & 0x7FFFFFFFFFFFFFFFULL);
    if ((raw >> 63) == 0) {
        length %= 4096;
    }
    const std::string_view value(reinterpret_cast<const char*>(data) + head, size - head);

    Vuxo::RangeHeader header;
    header.Parse(value);
    const int parsedCount = header.GetRangeCount();
    if (!header.Resolve(length)) {
        Require(!header.IsResolved());
        Require(header.GetContentRangeValue().empty());
        Require(header.GetRangeCount() == parsedCount);
        return 0;
    }
    Require(header.IsResolved());
    Require(header.GetEntityLength() == length);
    Require(header.GetRangeCount() >= 1 && header.GetRangeCount() <= parsedCount);
    const auto& ranges = header.GetRanges();
    for (size_t i = 0; i < ranges.size(); ++i) {
        const Vuxo::ByteRangeSpec& range = ranges[i];
        Require(range.kind == Vuxo::ByteRangeSpec::kClosed);
        Require(0 <= range.first && range.first <= range.last && range.last < length);
        if (i > 0) {
            Require(ranges[i - 1].last < range.first - 1); // sorted, apart by at least one byte
        }
    }
    const std::string expected = "bytes " + std::to_string(ranges[0].first) + "-" +
                                 std::to_string(ranges[0].last) + "/" + std::to_string(length);
    Require(header.GetContentRangeValue() == expected);
    Require(!header.Resolve(length));
    return 0;
}
