#include "core/i18n/FormatConversions.h"

namespace Vuxo {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// string_view::find, unlike strchr, never matches a NUL byte of the text against the set's terminator.
bool IsOneOf(char c, std::string_view set) {
    return set.find(c) != std::string_view::npos;
}

// Reads a run of digits starting at `i`; returns the index after them.
size_t SkipDigits(std::string_view text, size_t i) {
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
    }
    return i;
}

// A width or precision at text[i]: "*" or "*n$" reads an argument and is kept in the signature;
// plain digits are skipped.
size_t ParseWidth(std::string_view text, size_t i, std::string& out) {
    if (i >= text.size() || text[i] != '*') {
        return SkipDigits(text, i);
    }
    size_t end = SkipDigits(text, i + 1);
    if (end > i + 1 && end < text.size() && text[end] == '$') {
        ++end;
    }
    out.append(text.substr(i, end - i));
    return end;
}

// Parses one conversion whose "%" is at text[start]; appends its signature to `out` and returns
// the index after it.
size_t ParseConversion(std::string_view text, size_t start, std::string& out) {
    size_t i = start + 1;
    // An argument position "n$" comes first; without "$" the digits were a width (or the "0" flag).
    size_t digitsEnd = SkipDigits(text, i);
    if (digitsEnd > i && digitsEnd < text.size() && text[digitsEnd] == '$') {
        out.append(text.substr(i, digitsEnd + 1 - i));
        i = digitsEnd + 1;
    }
    while (i < text.size() && IsOneOf(text[i], "-+ #0'")) {
        ++i;
    }
    i = ParseWidth(text, i, out);
    if (i < text.size() && text[i] == '.') {
        i = ParseWidth(text, i + 1, out);
    }
    while (i < text.size() && IsOneOf(text[i], "hlLqjzt")) {
        out += text[i];
        ++i;
    }
    if (i >= text.size()) {
        out += "<end>";
        return i;
    }
    out += text[i];
    return i + 1;
}

} // namespace

std::vector<std::string> ListFormatConversions(std::string_view format) {
    std::vector<std::string> conversions;
    size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            i += 2;
            continue;
        }
        std::string signature;
        i = ParseConversion(format, i, signature);
        conversions.push_back(std::move(signature));
    }
    return conversions;
}

bool HaveSameFormatConversions(std::string_view original, std::string_view translation) {
    return ListFormatConversions(original) == ListFormatConversions(translation);
}

} // namespace Vuxo
