// Escaping of text for the places it is written into: log lines, HTML and XML, script strings. Each
// context has one escaper here, with a parameter where two contexts really differ.
// Stateless; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

// Every ASCII control character (0x00-0x1F and 0x7F) becomes "%" and two upper-case hex digits, so a
// text from a request can never start another line of a log: "a\nb" -> "a%0Ab"; so does each byte of a
// C1 or bidirectional control (Utf8ControlLengthAt), which could make a line read otherwise than it is:
// U+202E -> "%E2%80%AE". Other bytes, UTF-8 included, are copied.
std::string EscapeControlCharacters(std::string_view text);

// Where escaped markup goes: HTML pages, or XML (the playlists). They differ in "'" alone: older HTML
// has no "&apos;", and the playlists' readers have always had it.
enum class Markup { Html, Xml };

// "&", "<", ">", '"' and "'" become "&amp;", "&lt;", "&gt;", "&quot;" and "&#39;" (HTML) or "&apos;"
// (XML); every other byte is copied, so UTF-8 text passes unchanged. Safe in element content and in
// quoted attribute values.
std::string EscapeMarkup(std::string_view text, Markup markup = Markup::Html);
// The same, appended to `out`.
void AppendEscapedMarkup(std::string& out, std::string_view text, Markup markup = Markup::Html);

// The script string a text goes into.
enum class ScriptString {
    // A double-quoted string that JSON reads too (the sub-folder list): "\\", "\"", "\n", "\r" and
    // "\t"; other control characters and "<" as \u00XX; "'" stays.
    Json,
    // A single-quoted script string (the upload status page): "\\", "\'", "\"", "\r" and "\n"; other
    // control characters and "<" as \xXX.
    SingleQuoted,
};

// Escapes a text so that it stays inside its string: it can never end the string, the line or the
// script element it stands in. U+2028 and U+2029, which end a line in older script engines, become
// \u2028 and \u2029; other UTF-8 passes unchanged.
std::string EscapeScriptString(std::string_view text, ScriptString kind);

} // namespace Vuxo
