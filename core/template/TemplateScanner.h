// Splits template text into tokens for TextTemplate::Parse. Owned by one Parse call, on its stack.
// It keeps a private copy of the text with NUL bytes appended, so look-ahead never leaves the buffer;
// a NUL inside the text ends it.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/template/TextTemplate.h"

namespace Vuxo {

// A syntax error of a template; the message is the one Parse reports.
class TemplateSyntaxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws TemplateSyntaxError with the message when the condition is false.
void CheckSyntax(bool condition, const char* message);

// ASCII letter, digit or "_" (what may follow "$" in a variable name).
bool IsIdentifierChar(unsigned char c);
// Anything but NUL, "#" and "$".
bool IsTextChar(unsigned char c);
// The C locale's white space: blank, tab, line feed, vertical tab, form feed, carriage return.
bool IsTemplateSpace(unsigned char c);

class TextTemplate::Scanner {
public:
    enum class TokenKind { Variable = 0, If = 1, Else = 2, End = 3, Foreach = 4, Text = 5, EndOfText = 6 };

    struct Token {
        TokenKind kind;
        std::string_view text; // points into the scanner's buffer; empty for directives and the end
    };

    Scanner(const char* data, std::size_t length);
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;
    virtual ~Scanner() = default;

    // The next token; with peek the position stays where it was.
    Token Next(bool peek = false);
    void SkipSpace();
    // Consumes the current byte when it is `c`.
    bool Accept(char c);

private:
    unsigned char At(std::size_t pos) const { return static_cast<unsigned char>(buffer_[pos]); }
    bool StartsWith(std::string_view word) const;

    std::string buffer_;
    std::size_t pos_ = 0;
};

} // namespace Vuxo
