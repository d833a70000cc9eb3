#include "core/text/TextEscaping.h"

#include "core/text/StringHelpers.h"

#include <array>
#include <cstdio>

namespace Vuxo {

namespace {

// "\u00XX" (JSON) or "\xXX".
void AppendCodeEscape(std::string& out, unsigned char c, ScriptString kind) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, kind == ScriptString::Json ? "\\u%04X" : "\\x%02X",
                  static_cast<unsigned>(c));
    out += escaped;
}

// The three bytes of U+2028 or U+2029 at `i`.
bool IsLineSeparatorAt(std::string_view text, size_t i) {
    return static_cast<unsigned char>(text[i]) == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x80' &&
           (text[i + 2] == '\xA8' || text[i + 2] == '\xA9');
}

} // namespace

std::string EscapeControlCharacters(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    size_t escapeUntil = 0; // the end of a UTF-8 control being escaped
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (i >= escapeUntil) {
            escapeUntil = i + Utf8ControlLengthAt(text, i);
        }
        if (i < escapeUntil || IsControlCharacter(text[i])) {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string EscapeMarkup(std::string_view text, Markup markup) {
    std::string escaped;
    escaped.reserve(text.size() + text.size() / 8);
    AppendEscapedMarkup(escaped, text, markup);
    return escaped;
}

void AppendEscapedMarkup(std::string& out, std::string_view text, Markup markup) {
    // Runs of plain bytes are copied whole, found through a table: a folder page escapes every name.
    static constexpr auto kPlain = [] {
        std::array<bool, 256> plain{};
        plain.fill(true);
        for (const unsigned char c : {'&', '<', '>', '"', '\''}) {
            plain[c] = false;
        }
        return plain;
    }();
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (kPlain[c]) {
            continue;
        }
        const char* entity = c == '&'   ? "&amp;"
                             : c == '<' ? "&lt;"
                             : c == '>' ? "&gt;"
                             : c == '"' ? "&quot;"
                                        : (markup == Markup::Xml ? "&apos;" : "&#39;");
        out.append(text.substr(start, i - start)).append(entity);
        start = i + 1;
    }
    out.append(text.substr(start));
}

std::string EscapeScriptString(std::string_view text, ScriptString kind) {
    const bool json = kind == ScriptString::Json;
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\' || c == '"' || (c == '\'' && !json)) {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t' && json) {
            out += "\\t";
        } else if (IsControlCharacter(static_cast<char>(c)) || c == '<') {
            AppendCodeEscape(out, c, kind);
        } else if (IsLineSeparatorAt(text, i)) {
            out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

} // namespace Vuxo
