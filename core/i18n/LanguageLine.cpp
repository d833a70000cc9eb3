#include "core/i18n/LanguageLine.h"

#include <optional>

namespace Vuxo {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

size_t SkipBlanks(std::string_view line, size_t i) {
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    return i;
}

// A quoted string whose opening quote is at line[i]: it ends at the next quote that does not
// directly follow a backslash. Gives the raw text between the quotes and moves `i` past the
// closing quote; nothing when the line ends first.
std::optional<std::string_view> ReadQuoted(std::string_view line, size_t& i) {
    size_t start = i + 1;
    for (size_t j = start; j < line.size(); ++j) {
        if (line[j] == '"' && line[j - 1] != '\\') {
            i = j + 1;
            return line.substr(start, j - start);
        }
    }
    return std::nullopt;
}

} // namespace

std::string UnescapeLanguageText(std::string_view quoted) {
    std::string text;
    text.reserve(quoted.size());
    for (size_t i = 0; i < quoted.size(); ++i) {
        char c = quoted[i];
        if (c != '\\' || i + 1 == quoted.size()) {
            text += c;
            continue;
        }
        char next = quoted[++i];
        switch (next) {
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        default:
            text += next;
            break;
        }
    }
    return text;
}

LanguageLineKind ParseLanguageLine(std::string_view line, std::string& key, std::string& value) {
    size_t i = SkipBlanks(line, 0);
    if (line.size() - i <= 1) {
        return LanguageLineKind::Skip;
    }
    if (line[i] != '"') {
        return LanguageLineKind::Error;
    }
    std::optional<std::string_view> rawKey = ReadQuoted(line, i);
    if (!rawKey) {
        return LanguageLineKind::Error;
    }
    i = SkipBlanks(line, i);
    if (i >= line.size() || line[i] != '=') {
        return LanguageLineKind::Error;
    }
    i = SkipBlanks(line, i + 1);
    if (i >= line.size() || line[i] != '"') {
        return LanguageLineKind::Error;
    }
    std::optional<std::string_view> rawValue = ReadQuoted(line, i);
    if (!rawValue) {
        return LanguageLineKind::Error;
    }
    key = UnescapeLanguageText(*rawKey);
    value = UnescapeLanguageText(*rawValue);
    return LanguageLineKind::Pair;
}

} // namespace Vuxo
