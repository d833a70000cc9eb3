// Text formatting that a signal handler may use: no allocation, no lock, no locale. Numbers as decimal or
// upper-case hexadecimal digits, a narrow text in a fixed buffer, and a writer that turns UTF-8 into
// UTF-16LE and writes it to a descriptor in pieces. Each object belongs to the one thread using it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vuxo::Crash {

// Writes `value` with at least `minDigits` digits (zeros in front) to `out`, which holds at least 21
// characters; the number of characters, no NUL.
size_t FormatDecimal(uint64_t value, int minDigits, char* out);
// Writes the low `digits` hexadecimal digits of `value` (1..16, upper case) to `out`; `digits`.
size_t FormatHex(uint64_t value, int digits, char* out);

// A NUL-terminated text in a buffer the caller owns. What does not fit is cut off and remembered.
class FixedText {
public:
    FixedText(char* buffer, size_t capacity);

    FixedText& Append(const char* text);
    FixedText& Append(const char* text, size_t length);
    FixedText& Decimal(uint64_t value, int minDigits = 1);
    FixedText& Hex(uint64_t value, int digits);
    // Cuts the text back to `length` characters (no longer than it is).
    void Truncate(size_t length);

    const char* Get() const { return m_buffer; }
    size_t Length() const { return m_length; }
    // True when an append did not fit since the text was made or last cut back.
    bool IsCut() const { return m_cut; }

private:
    char* m_buffer;
    size_t m_capacity;
    size_t m_length = 0;
    bool m_cut = false;
};

// UTF-16LE text written to a descriptor through a fixed buffer. Input is UTF-8; an invalid or cut
// sequence becomes U+FFFD. Write errors are remembered, and later writes are skipped.
class Utf16Writer {
public:
    explicit Utf16Writer(int descriptor) : m_descriptor(descriptor) {}
    ~Utf16Writer() { Flush(); }
    Utf16Writer(const Utf16Writer&) = delete;
    Utf16Writer& operator=(const Utf16Writer&) = delete;

    // Bytes as they are (the byte-order mark).
    Utf16Writer& Raw(const void* bytes, size_t count);
    Utf16Writer& Text(const char* utf8);
    Utf16Writer& Text(const char* utf8, size_t length);
    Utf16Writer& Decimal(uint64_t value, int minDigits = 1);
    Utf16Writer& Hex(uint64_t value, int digits);
    // Writes what is buffered; false once any write has failed.
    bool Flush();

private:
    void Unit(uint16_t unit);
    void CodePoint(uint32_t codePoint);

    int m_descriptor;
    unsigned char m_buffer[2048];
    size_t m_used = 0;
    bool m_failed = false;
};

} // namespace Vuxo::Crash
