#include "core/http_headers/RangeHeader.h"

#include "core/text/StringHelpers.h"

#include <algorithm>

namespace Vuxo {

namespace {

constexpr std::string_view kBlanks = "\r\n\t ";
constexpr std::string_view kUnit = "bytes";

std::string TrimmedCopy(std::string_view text) {
    std::string copy(text);
    Trim(copy, kBlanks);
    return copy;
}

// Decimal digits, blanks around them allowed; a number too large for 64 bits saturates (a last byte far
// past the end is still a last byte past the end).
bool ParseNumber(std::string_view text, int64_t& value) {
    const std::string digits = TrimmedCopy(text);
    if (digits.empty()) {
        return false;
    }
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        const int digit = c - '0';
        value = value > (INT64_MAX - digit) / 10 ? INT64_MAX : value * 10 + digit;
    }
    return true;
}

bool IsPositional(const ByteRangeSpec& spec) {
    return spec.kind != ByteRangeSpec::kSuffix;
}

// Positional ranges first, by first byte; then suffixes, longest first.
bool PrecedesInOrder(const ByteRangeSpec& a, const ByteRangeSpec& b) {
    if (IsPositional(a) != IsPositional(b)) {
        return IsPositional(a);
    }
    return IsPositional(a) ? a.first < b.first : a.first > b.first;
}

} // namespace

bool ByteRangeSpec::Parse(std::string_view text) {
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        return false;
    }
    const std::string_view after = text.substr(dash + 1);
    if (TrimmedCopy(text.substr(0, dash)).empty()) {
        kind = kSuffix;
        return ParseNumber(after, first);
    }
    if (!ParseNumber(text.substr(0, dash), first)) {
        return false;
    }
    if (TrimmedCopy(after).empty()) {
        kind = kOpen;
        return true;
    }
    kind = kClosed;
    // A range that ends before it begins makes the whole header invalid.
    return ParseNumber(after, last) && last >= first;
}

RangeHeader::RangeHeader() : m_ranges(1) {}

bool RangeHeader::UsesOtherUnit(std::string_view value) {
    const size_t equals = value.find('=');
    return equals != std::string_view::npos && TrimmedCopy(value.substr(0, equals)) != kUnit;
}

bool RangeHeader::Parse(std::string_view value) {
    m_ranges.clear();
    m_resolved = false;
    const size_t equals = value.find('=');
    if (equals == std::string_view::npos || TrimmedCopy(value.substr(0, equals)) != kUnit) {
        return false;
    }
    std::string_view rest = value.substr(equals + 1);
    while (true) {
        const size_t comma = rest.find(',');
        ByteRangeSpec spec;
        if (!spec.Parse(TrimmedCopy(rest.substr(0, comma)))) {
            return false; // what was read so far stays, unsorted
        }
        m_ranges.push_back(spec);
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    SortAndMerge();
    return true;
}

bool RangeHeader::Resolve(int64_t entityLength) {
    if (m_resolved || entityLength < 0 || m_ranges.empty()) {
        return false; // no range left (a header that failed to parse) is nothing to serve
    }
    std::vector<ByteRangeSpec> resolved;
    for (ByteRangeSpec spec : m_ranges) {
        if (spec.kind == ByteRangeSpec::kSuffix) {
            if (spec.first == 0) {
                continue; // the last 0 bytes: nothing
            }
            // A suffix longer than the entity is the whole entity. Both non-negative: cannot overflow.
            spec.first = std::max<int64_t>(entityLength - spec.first, 0);
        }
        // An end past the entity's end is its end.
        spec.last =
            spec.kind == ByteRangeSpec::kClosed ? std::min(spec.last, entityLength - 1) : entityLength - 1;
        spec.kind = ByteRangeSpec::kClosed;
        // A range that starts at or past the end (every range of an empty entity) cannot be served; the
        // others still are.
        if (spec.first < entityLength && spec.first <= spec.last) {
            resolved.push_back(spec);
        }
    }
    if (resolved.empty()) {
        return false;
    }
    m_ranges = std::move(resolved);
    m_entityLength = entityLength;
    SortAndMerge();
    m_resolved = true;
    return true;
}

void RangeHeader::SortAndMerge() {
    std::stable_sort(m_ranges.begin(), m_ranges.end(), PrecedesInOrder);
    std::vector<ByteRangeSpec> merged;
    merged.reserve(m_ranges.size());
    for (const ByteRangeSpec& spec : m_ranges) {
        if (!IsPositional(spec)) {
            merged.push_back(spec); // the longest suffix covers every shorter one after it
            break;
        }
        if (!merged.empty()) {
            ByteRangeSpec& previous = merged.back();
            // B joins A when it overlaps or touches it (A open: always). `first - 1` instead of `last + 1`
            // keeps a last of INT64_MAX from overflowing. Inverted ranges stay apart so that resolving
            // still refuses them.
            const bool joins = previous.kind == ByteRangeSpec::kOpen || spec.first - 1 <= previous.last;
            if (joins && !previous.IsInverted() && !spec.IsInverted()) {
                previous.first = std::min(previous.first, spec.first);
                if (previous.kind == ByteRangeSpec::kOpen || spec.kind == ByteRangeSpec::kOpen) {
                    previous.kind = ByteRangeSpec::kOpen;
                } else {
                    previous.last = std::max(previous.last, spec.last);
                }
                continue;
            }
        }
        merged.push_back(spec);
    }
    m_ranges = std::move(merged);
}

std::string RangeHeader::GetContentRangeValue() const {
    if (!m_resolved || m_ranges.empty()) {
        return "";
    }
    const ByteRangeSpec& range = m_ranges.front();
    return std::string(kUnit) + " " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
           std::to_string(m_entityLength);
}

std::string RangeHeader::GetUnsatisfiedContentRangeValue(int64_t entityLength) {
    return std::string(kUnit) + " */" + std::to_string(entityLength);
}

} // namespace Vuxo
