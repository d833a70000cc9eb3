#include "core/config/ConfigValueText.h"

#include <cstddef>

namespace Vuxo {

namespace {

bool IsStreamBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<long long> ParseLeadingInteger(std::string_view text, long long minValue, long long maxValue) {
    std::size_t pos = 0;
    while (pos < text.size() && IsStreamBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= text.size() || !IsDigit(text[pos])) {
        return std::nullopt;
    }
    // Far above any 32-bit magnitude and far below the 64-bit limit: once past it the number is out
    // of range whatever digits follow.
    constexpr unsigned long long kCeiling = 1ULL << 40;
    unsigned long long magnitude = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        if (magnitude < kCeiling) {
            magnitude = magnitude * 10 + static_cast<unsigned long long>(text[pos] - '0');
        }
    }
    if (magnitude >= kCeiling) {
        return std::nullopt;
    }
    const long long value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (value < minValue || value > maxValue) {
        return std::nullopt;
    }
    return value;
}

std::string ToSingleLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return line;
}

} // namespace Vuxo
