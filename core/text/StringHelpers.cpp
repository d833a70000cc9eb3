#include "core/text/StringHelpers.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <vector>

namespace Vuxo {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsUtf8Lead(unsigned char c) {
    return (c & 0xC0) != 0x80;
}

// Bytes of the UTF-8 sequence that `lead` starts (1 for anything that is no lead byte).
size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// Length of the longest prefix of text[0, length) that does not end inside a UTF-8 sequence.
size_t Utf8CutPoint(const char* text, size_t length) {
    for (size_t back = 1; back <= 4 && back <= length; ++back) {
        const auto c = static_cast<unsigned char>(text[length - back]);
        if (IsUtf8Lead(c))
            return Utf8SequenceLength(c) > back ? length - back : length;
    }
    return length;
}

template <typename Char> void TrimSet(std::basic_string<Char>& text, std::basic_string_view<Char> set) {
    const size_t first = text.find_first_not_of(set);
    if (first == std::basic_string<Char>::npos) {
        text.clear();
        return;
    }
    const size_t last = text.find_last_not_of(set);
    text.erase(last + 1);
    text.erase(0, first);
}

} // namespace

int64_t ParseInt64(std::string_view text) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    size_t i = 0;
    while (i < text.size() && !IsDigit(text[i]))
        ++i;
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (value > (kMax - digit) / 10)
            value = kMax; // saturate; keep reading so the run of digits is consumed
        else
            value = value * 10 + digit;
    }
    return value;
}

std::string FormatString(size_t bufferSize, const char* fmt, ...) {
    if (bufferSize == 0)
        return {};
    va_list args;
    va_start(args, fmt);
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, fmt, measure);
    va_end(measure);
    if (needed < 0) {
        va_end(args);
        return {};
    }
    const size_t capacity = std::min(static_cast<size_t>(needed), bufferSize - 1) + 1;
    std::vector<char> buffer(capacity);
    std::vsnprintf(buffer.data(), capacity, fmt, args);
    va_end(args);
    size_t length = std::char_traits<char>::length(buffer.data());
    if (static_cast<size_t>(needed) > capacity - 1 && length == capacity - 1)
        length = Utf8CutPoint(buffer.data(), length);
    return std::string(buffer.data(), length);
}

std::string GroupDigits(std::string_view text, int n) {
    std::string result;
    result.reserve(text.size() + text.size() / 3);
    AppendGroupedDigits(result, text, n);
    return result;
}

void AppendGroupedDigits(std::string& out, std::string_view text, int n) {
    if (n < 1 || text.size() <= static_cast<size_t>(n)) {
        out.append(text);
        return;
    }
    const size_t group = static_cast<size_t>(n);
    const size_t groups = (text.size() - 1) / group; // largest k with k * n below the length
    const size_t head = text.size() - groups * group;
    out.append(text.substr(0, head));
    for (size_t g = 0; g < groups; ++g) {
        out.push_back(',');
        out.append(text.substr(head + g * group, group));
    }
}

void Trim(std::string& text, std::string_view set) {
    TrimSet<char>(text, set);
}

void Trim(std::u16string& text, std::u16string_view set) {
    TrimSet<char16_t>(text, set);
}

void ToLower(std::string& text) {
    for (char& c : text) {
        c = ToLowerAscii(c);
    }
}

bool IsControlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

size_t Utf8ControlLengthAt(std::string_view text, size_t i) {
    const auto byte = [text](size_t at) { return static_cast<unsigned char>(text[at]); };
    if (byte(i) == 0xC2 && i + 1 < text.size() && byte(i + 1) <= 0x9F) {
        return 2; // C2 80-9F: U+0080-U+009F (a continuation byte is never below 0x80)
    }
    if (byte(i) == 0xE2 && i + 2 < text.size()) {
        const unsigned char second = byte(i + 1);
        const unsigned char third = byte(i + 2);
        if ((second == 0x80 && third >= 0xAA && third <= 0xAE) || // U+202A-U+202E
            (second == 0x81 && third >= 0xA6 && third <= 0xA9)) { // U+2066-U+2069
            return 3;
        }
    }
    return 0;
}

bool HasControlCharacter(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsControlCharacter(text[i]) || Utf8ControlLengthAt(text, i) != 0) {
            return true;
        }
    }
    return false;
}

void ToUpper(std::string& text) {
    for (char& c : text) {
        c = ToUpperAscii(c);
    }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareIgnoringCase(a, b) == 0;
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const auto ca = static_cast<unsigned char>(ToLowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(ToLowerAscii(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

size_t FindIgnoringCase(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) {
        return std::string_view::npos;
    }
    for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if (CompareIgnoringCase(text.substr(i, needle.size()), needle) == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty())
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    size_t start = 0;
    for (size_t found = text.find(from); found != std::string_view::npos; found = text.find(from, start)) {
        result.append(text.substr(start, found - start));
        result.append(to);
        start = found + from.size();
    }
    result.append(text.substr(start));
    return result;
}

} // namespace Vuxo
