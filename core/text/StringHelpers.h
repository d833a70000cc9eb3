// Small helpers on 8-bit (UTF-8) and wide (UTF-16) strings: numbers, formatting, trimming.
// Stateless; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Vuxo {

// Skips everything up to the first ASCII digit (a sign too: "-5" gives 5) and reads the
// run of digits that follows. No digit gives 0; a value beyond INT64_MAX gives INT64_MAX.
int64_t ParseInt64(std::string_view text);

// printf into a buffer of `bufferSize` bytes, terminator included: the result holds at most
// bufferSize - 1 bytes and is cut there (never in the middle of a UTF-8 sequence). The result
// ends at the first NUL that formatting produced.
std::string FormatString(size_t bufferSize, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// printf-like formatting of a UTF-16 format, cut to at most bufferSize - 1 units (never
// between the halves of a surrogate pair). The flags, width, precision and length modifiers
// of printf apply to the numeric conversions (d i u o x X e E f F g G a A p c) as usual. The
// strings differ from printf, since char16_t has no printf family of its own:
//   %s  (also %ls) takes a const char16_t* (a null pointer prints "(null)");
//   %hs takes a const char* holding UTF-8;
//   %c  (also %lc) takes a char16_t, %hc a char;
//   %%  is a percent sign; %n takes its pointer argument and writes nothing through it.
// An unknown conversion, or a length modifier that does not suit its conversion ("%Ld"),
// is copied as it stands and takes no argument (beyond a "*" width or precision).
// Width and precision count UTF-16 units for %s and %c; both are capped at 1048576.
std::u16string FormatWideString(size_t bufferSize, const char16_t* fmt, ...);

// Inserts "," between groups of n characters counted from the right ("1234567", 3 ->
// "1,234,567"). n below 1 leaves the text as it is.
std::string GroupDigits(std::string_view text, int n);
// The same, appended to `out`.
void AppendGroupedDigits(std::string& out, std::string_view text, int n);

// Removes every leading and trailing character found in `set`.
void Trim(std::string& text, std::string_view set);
void Trim(std::u16string& text, std::u16string_view set);

// ASCII case folding, the one home of it: only the letters A-Z and a-z change; every other byte (UTF-8
// included) stays as it is, whatever the locale.
constexpr char ToLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char ToUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
void ToLower(std::string& text);
void ToUpper(std::string& text);
// Byte by byte with ASCII letters folded: equal; ordered (folded bytes compared unsigned, a prefix
// first: negative, 0 or positive); the first position of `needle` in `text`, npos when absent.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
int CompareIgnoringCase(std::string_view a, std::string_view b);
size_t FindIgnoringCase(std::string_view text, std::string_view needle);

// The C locale's isspace, without the locale: blank, tab, LF, VT, FF and CR.
constexpr bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The ASCII control characters: below 0x20 (line breaks and tabs included) and DEL (0x7F).
bool IsControlCharacter(char c);
// The length of the UTF-8 form of a C1 control (U+0080-U+009F) or a bidirectional control (U+202A-U+202E,
// U+2066-U+2069) at `i`, 0 when none starts there. They draw nothing, yet turn "evil\u202Etxt.exe" into
// what reads "evilexe.txt".
size_t Utf8ControlLengthAt(std::string_view text, size_t i);
// True when the text holds an ASCII control character or one of the UTF-8 ones above.
bool HasControlCharacter(std::string_view text);

// Every occurrence of `from` replaced by `to`, left to right, resuming after each inserted
// replacement. An empty `from` gives the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

} // namespace Vuxo
