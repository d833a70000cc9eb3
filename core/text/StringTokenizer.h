// Splits a text into words, single delimiter characters, quoted runs and fixed
// multi-character tokens, for the header and template parsers. One object per text;
// not shared between threads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

class StringTokenizer {
public:
    // Kinds that NextRawToken returns.
    enum RawKind { kEnd = 0, kMultiCharToken = 1, kDelimiter = 2, kQuote = 3, kWord = 4 };

    StringTokenizer() = default;

    void SetInput(std::string_view text);
    // Each character of `delimiters` is a delimiter; with `returnDelimiters` each one comes
    // back as a token of its own, else delimiters only separate words.
    void SetDelimiters(std::string_view delimiters, bool returnDelimiters = true);
    // A quote character opens a run that ends at the same character; everything between
    // (delimiters too) is one token. With `keepQuotes` the quotes are part of it.
    void SetQuotes(std::string_view quotes, bool keepQuotes = true);
    // A text that always forms a token of its own, checked before anything else.
    void AddToken(std::string_view token);

    // The next token, or false at the end or at a quote that is never closed.
    bool NextToken(std::string& token);
    RawKind NextRawToken(std::string& token);

    const std::string& LastToken() const { return lastToken_; }

private:
    bool IsDelimiter(char c) const;
    bool IsQuote(char c) const;
    const std::string* MatchMultiCharToken(size_t at) const;

    std::string input_;
    size_t position_ = 0;
    size_t end_ = 0;
    std::string delimiters_;
    bool returnDelimiters_ = true;
    std::string quotes_;
    bool keepQuotes_ = true;
    std::string lastToken_;
    std::vector<std::string> multiCharTokens_;
};

} // namespace Vuxo
