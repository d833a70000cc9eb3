#include "core/template/TemplateScanner.h"

namespace Vuxo {

namespace {
constexpr std::size_t kPadding = 10; // covers the longest look-ahead ("#foreach") and the end test
} // namespace

void CheckSyntax(bool condition, const char* message) {
    if (!condition) {
        throw TemplateSyntaxError(message);
    }
}

bool IsIdentifierChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsTextChar(unsigned char c) {
    return c != '\0' && c != '#' && c != '$';
}

bool IsTemplateSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

TextTemplate::Scanner::Scanner(const char* data, std::size_t length) {
    buffer_.reserve(length + kPadding);
    if (length > 0) {
        buffer_.assign(data, length);
    }
    buffer_.append(kPadding, '\0');
}

bool TextTemplate::Scanner::StartsWith(std::string_view word) const {
    return buffer_.compare(pos_, word.size(), word) == 0;
}

TextTemplate::Scanner::Token TextTemplate::Scanner::Next(bool peek) {
    const std::size_t start = pos_;
    std::size_t end = start;
    TokenKind kind;
    const unsigned char c = At(start);
    if (c == '\0') {
        return {TokenKind::EndOfText, {}};
    }
    if (c == '$' && IsIdentifierChar(At(start + 1))) {
        end = start + 2;
        while (IsIdentifierChar(At(end))) {
            ++end;
        }
        kind = TokenKind::Variable;
    } else if (c == '#' && StartsWith("#if")) {
        end = start + 3;
        kind = TokenKind::If;
    } else if (c == '#' && StartsWith("#else")) {
        end = start + 5;
        kind = TokenKind::Else;
    } else if (c == '#' && StartsWith("#end")) {
        end = start + 4;
        kind = TokenKind::End;
    } else if (c == '#' && StartsWith("#foreach")) {
        end = start + 8;
        kind = TokenKind::Foreach;
    } else {
        // At least the current byte, so a "$" or "#" that starts no token becomes text.
        end = start + 1;
        while (IsTextChar(At(end))) {
            ++end;
        }
        kind = TokenKind::Text;
    }
    if (!peek) {
        pos_ = end;
    }
    std::string_view text;
    if (kind == TokenKind::Variable || kind == TokenKind::Text) {
        text = std::string_view(buffer_).substr(start, end - start);
    }
    return {kind, text};
}

void TextTemplate::Scanner::SkipSpace() {
    while (IsTemplateSpace(At(pos_))) {
        ++pos_;
    }
}

bool TextTemplate::Scanner::Accept(char c) {
    if (At(pos_) != static_cast<unsigned char>(c) || c == '\0') {
        return false;
    }
    ++pos_;
    return true;
}

} // namespace Vuxo
