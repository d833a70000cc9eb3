#include "core/http_headers/RangeHeader.h"

#include "core/text/StringHelpers.h"

#include <algorithm>

namespace Vuxo {

namespace {

constexpr std::string_view kBlanks = "\r\n\t ";

std::string TrimmedCopy(std::string_view text) {
    std::string copy(text);
    Trim(copy, kBlanks);
    return copy;
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
    if (dash == 0) {
        kind = kSuffix;
        first = ParseInt64(text);
    } else {
        first = ParseInt64(text.substr(0, dash));
        if (dash + 1 == text.size()) {
            kind = kOpen;
        } else {
            kind = kClosed;
            last = ParseInt64(text.substr(dash));
        }
    }
    return true;
}

RangeHeader::RangeHeader() : m_ranges(1) {}

bool RangeHeader::Parse(std::string_view value) {
    m_ranges.clear();
    m_resolved = false;
    const size_t equals = value.find('=');
    if (equals == std::string_view::npos || TrimmedCopy(value.substr(0, equals)) != "bytes") {
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
    std::vector<ByteRangeSpec> resolved = m_ranges;
    for (ByteRangeSpec& spec : resolved) {
        if (spec.kind != ByteRangeSpec::kClosed) {
            spec.last = entityLength - 1;
            if (spec.kind == ByteRangeSpec::kSuffix) {
                spec.first = entityLength - spec.first; // both non-negative: cannot overflow
            }
            spec.kind = ByteRangeSpec::kClosed;
        }
        // A suffix longer than the entity, an end at or beyond it (never clamped), or a first byte after
        // the last (a negative length) cannot be served.
        if (spec.first < 0 || spec.last >= entityLength || spec.first > spec.last) {
            return false;
        }
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
    return "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
           std::to_string(m_entityLength);
}

} // namespace Vuxo
