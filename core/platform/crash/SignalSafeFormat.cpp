#include "core/platform/crash/SignalSafeFormat.h"

#include <cerrno>
#include <unistd.h>

namespace Vuxo::Crash {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr uint32_t kReplacement = 0xFFFD;

size_t TextLength(const char* text) {
    size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

// The code point of the strict UTF-8 sequence at `text` and its length in `used`; kReplacement with
// `used` 1 for an invalid, overlong, surrogate or cut sequence.
uint32_t DecodeUtf8(const unsigned char* text, size_t left, size_t& used) {
    used = 1;
    const unsigned char lead = text[0];
    if (lead < 0x80) {
        return lead;
    }
    size_t length = 0;
    uint32_t codePoint = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    if (left < length) {
        return kReplacement;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) {
            return kReplacement;
        }
        codePoint = (codePoint << 6) | (text[i] & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return kReplacement;
    }
    used = length;
    return codePoint;
}

} // namespace

size_t FormatDecimal(uint64_t value, int minDigits, char* out) {
    char reversed[20];
    size_t count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    size_t length = 0;
    for (int pad = minDigits - static_cast<int>(count); pad > 0 && length < 21 - count; --pad) {
        out[length++] = '0';
    }
    while (count > 0) {
        out[length++] = reversed[--count];
    }
    return length;
}

size_t FormatHex(uint64_t value, int digits, char* out) {
    const size_t count = digits < 1 ? 1 : (digits > 16 ? 16 : static_cast<size_t>(digits));
    for (size_t i = 0; i < count; ++i) {
        out[count - 1 - i] = kHexDigits[(value >> (4 * i)) & 0xF];
    }
    return count;
}

FixedText::FixedText(char* buffer, size_t capacity) : m_buffer(buffer), m_capacity(capacity) {
    if (m_capacity > 0) {
        m_buffer[0] = '\0';
    }
}

FixedText& FixedText::Append(const char* text) {
    return Append(text, TextLength(text));
}

FixedText& FixedText::Append(const char* text, size_t length) {
    if (m_capacity == 0) {
        m_cut = m_cut || length > 0;
        return *this;
    }
    const size_t room = m_capacity - 1 - m_length;
    const size_t copied = length < room ? length : room;
    for (size_t i = 0; i < copied; ++i) {
        m_buffer[m_length++] = text[i];
    }
    m_buffer[m_length] = '\0';
    m_cut = m_cut || copied < length;
    return *this;
}

FixedText& FixedText::Decimal(uint64_t value, int minDigits) {
    char digits[21];
    return Append(digits, FormatDecimal(value, minDigits, digits));
}

FixedText& FixedText::Hex(uint64_t value, int digits) {
    char text[16];
    return Append(text, FormatHex(value, digits, text));
}

void FixedText::Truncate(size_t length) {
    if (length < m_length) {
        m_length = length;
        m_buffer[m_length] = '\0';
    }
    m_cut = false;
}

Utf16Writer& Utf16Writer::Raw(const void* bytes, size_t count) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; ++i) {
        if (m_used == sizeof m_buffer) {
            Flush();
        }
        m_buffer[m_used++] = next[i];
    }
    return *this;
}

Utf16Writer& Utf16Writer::Text(const char* utf8) {
    return Text(utf8, TextLength(utf8));
}

Utf16Writer& Utf16Writer::Text(const char* utf8, size_t length) {
    const auto* next = reinterpret_cast<const unsigned char*>(utf8);
    while (length > 0) {
        size_t used = 1;
        CodePoint(DecodeUtf8(next, length, used));
        next += used;
        length -= used;
    }
    return *this;
}

Utf16Writer& Utf16Writer::Decimal(uint64_t value, int minDigits) {
    char digits[21];
    return Text(digits, FormatDecimal(value, minDigits, digits));
}

Utf16Writer& Utf16Writer::Hex(uint64_t value, int digits) {
    char text[16];
    return Text(text, FormatHex(value, digits, text));
}

void Utf16Writer::CodePoint(uint32_t codePoint) {
    if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        Unit(static_cast<uint16_t>(0xD800 + (codePoint >> 10)));
        Unit(static_cast<uint16_t>(0xDC00 + (codePoint & 0x3FF)));
    } else {
        Unit(static_cast<uint16_t>(codePoint));
    }
}

void Utf16Writer::Unit(uint16_t unit) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(unit & 0xFF),
                                    static_cast<unsigned char>(unit >> 8)};
    Raw(bytes, 2);
}

bool Utf16Writer::Flush() {
    size_t done = 0;
    while (!m_failed && done < m_used) {
        const ssize_t written = ::write(m_descriptor, m_buffer + done, m_used - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            m_failed = true;
        } else {
            done += static_cast<size_t>(written);
        }
    }
    m_used = 0;
    return !m_failed;
}

} // namespace Vuxo::Crash
