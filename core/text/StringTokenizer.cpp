#include "core/text/StringTokenizer.h"

namespace Vuxo {

void StringTokenizer::SetInput(std::string_view text) {
    input_ = std::string(text);
    position_ = 0;
    end_ = input_.size();
}

void StringTokenizer::SetDelimiters(std::string_view delimiters, bool returnDelimiters) {
    delimiters_ = std::string(delimiters);
    returnDelimiters_ = returnDelimiters;
}

void StringTokenizer::SetQuotes(std::string_view quotes, bool keepQuotes) {
    quotes_ = std::string(quotes);
    keepQuotes_ = keepQuotes;
}

void StringTokenizer::AddToken(std::string_view token) {
    if (!token.empty()) // an empty token would match everywhere and never advance
        multiCharTokens_.emplace_back(token);
}

bool StringTokenizer::IsDelimiter(char c) const {
    return delimiters_.find(c) != std::string::npos;
}

bool StringTokenizer::IsQuote(char c) const {
    return quotes_.find(c) != std::string::npos;
}

const std::string* StringTokenizer::MatchMultiCharToken(size_t at) const {
    const std::string_view rest = std::string_view(input_).substr(at, end_ - at);
    for (const std::string& token : multiCharTokens_) {
        if (rest.starts_with(token))
            return &token;
    }
    return nullptr;
}

StringTokenizer::RawKind StringTokenizer::NextRawToken(std::string& token) {
    token.clear();
    if (position_ >= end_)
        return kEnd;
    if (const std::string* multi = MatchMultiCharToken(position_)) {
        token = *multi;
        position_ += multi->size();
        return kMultiCharToken;
    }
    const char c = input_[position_];
    if (IsDelimiter(c) || IsQuote(c)) {
        token.assign(1, c);
        ++position_;
        return IsDelimiter(c) ? kDelimiter : kQuote;
    }
    const size_t start = position_++;
    while (position_ < end_ && !IsDelimiter(input_[position_]) && !IsQuote(input_[position_]) &&
           MatchMultiCharToken(position_) == nullptr)
        ++position_;
    token = input_.substr(start, position_ - start);
    return kWord;
}

bool StringTokenizer::NextToken(std::string& token) {
    for (;;) {
        const RawKind kind = NextRawToken(token);
        if (kind == kEnd)
            break;
        if (kind == kDelimiter && !returnDelimiters_)
            continue;
        if (kind == kQuote) {
            const std::string quote = token;
            std::string quoted = keepQuotes_ ? quote : std::string();
            std::string raw;
            for (RawKind inner = NextRawToken(raw); !(inner == kQuote && raw == quote);
                 inner = NextRawToken(raw)) {
                if (inner == kEnd) { // a quote that is never closed ends the text
                    lastToken_.clear();
                    token.clear();
                    return false;
                }
                quoted += raw;
            }
            if (keepQuotes_)
                quoted += quote;
            token = std::move(quoted);
        }
        lastToken_ = token;
        return true;
    }
    lastToken_.clear();
    return false;
}

} // namespace Vuxo
