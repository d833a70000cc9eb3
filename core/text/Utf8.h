// Conversions between UTF-8 and UTF-16 without any operating-system call.
// Free functions with no state; safe from any thread.
//
// Decoding is strict: an overlong form, an encoded surrogate, a code point above U+10FFFF,
// a stray continuation byte or a sequence cut short each become one U+FFFD (per maximal
// ill-formed subpart), so a bad sequence can never turn into ASCII or NUL. Characters
// outside the BMP travel as surrogate pairs in UTF-16 and as four bytes in UTF-8; a lone
// surrogate encodes as U+FFFD. Embedded NUL characters are kept, never cut off.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Vuxo {

// Decodes `len` UTF-8 bytes into `out`, which must hold at least `len` units.
// Returns the number of units written; no terminator is written. Never reads past `in + len`.
size_t Utf8Decode(char16_t* out, const char* in, size_t len);

// Encodes `count` UTF-16 units into `out`, which must hold at least 3 * `count` bytes.
// Returns the number of bytes written; no terminator is written.
size_t Utf8Encode(char* out, const char16_t* in, size_t count);

std::u16string Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::u16string_view wide);

// True when every byte belongs to a well-formed UTF-8 sequence (decoding needs no U+FFFD).
bool IsValidUtf8(std::string_view bytes);

// The length of the longest prefix of `text` of at most `limit` bytes that does not end in the middle of
// a UTF-8 sequence (a cut never leaves part of a character behind).
size_t Utf8CutLength(std::string_view text, size_t limit);

} // namespace Vuxo
