// Parser of one body line of a UI language file: a quoted key, "=", a quoted value.
// Free functions with no state; safe from any thread. LocalizationStringTable::Load uses it;
// it is separate so that it can be tested and fuzzed on its own.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

enum class LanguageLineKind {
    Skip,  // blank line, or a single character after the blanks (the CR of a CRLF line end)
    Pair,  // key and value were filled in
    Error, // malformed: the whole load fails
};

// Parses one line (without its LF). Blanks are space and tab. On Pair, `key` and `value` hold the
// unescaped texts; anything after the value's closing quote is ignored. On Skip and Error they
// are left as they were.
LanguageLineKind ParseLanguageLine(std::string_view line, std::string& key, std::string& value);

// The text between the quotes of a quoted string with its escapes replaced: "\n" line feed,
// "\r" carriage return, "\t" tab, a backslash before any other character that character; a
// backslash at the very end stays.
std::string UnescapeLanguageText(std::string_view quoted);

} // namespace Vuxo
