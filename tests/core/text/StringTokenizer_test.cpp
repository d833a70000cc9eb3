#include "core/text/StringTokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Vuxo {
namespace {

struct TokenizerSetup {
    std::string delimiters;
    bool returnDelimiters = true;
    std::string quotes;
    bool keepQuotes = true;
    std::vector<std::string> multi;
};

// All tokens until NextToken gives false; the last entry is "<end>" so that a stop at an
// unterminated quote shows in the expectations.
std::vector<std::string> Tokens(const std::string& text, const TokenizerSetup& setup) {
    StringTokenizer tokenizer;
    tokenizer.SetInput(text);
    tokenizer.SetDelimiters(setup.delimiters, setup.returnDelimiters);
    tokenizer.SetQuotes(setup.quotes, setup.keepQuotes);
    for (const auto& m : setup.multi)
        tokenizer.AddToken(m);
    std::vector<std::string> tokens;
    std::string token;
    while (tokenizer.NextToken(token)) {
        EXPECT_EQ(tokenizer.LastToken(), token);
        tokens.push_back(token);
        if (tokens.size() > 100)
            break;
    }
    EXPECT_EQ(tokenizer.LastToken(), "");
    tokens.push_back("<end>");
    return tokens;
}

using V = std::vector<std::string>;

TEST(StringTokenizer, SplitsByTheDocumentedRules) {
    const struct {
        const char* name;
        std::string text;
        TokenizerSetup setup;
        V expected;
    } cases[] = {
        {"delimiters returned", "a;b", {";", true, "", true, {}}, {"a", ";", "b", "<end>"}},
        {"delimiters skipped", "a;b", {";", false, "", true, {}}, {"a", "b", "<end>"}},
        {"runs of delimiters skipped", ";;a;;b;;", {";", false, "", true, {}}, {"a", "b", "<end>"}},
        {"quoted value kept whole",
         "x=\"1 2\"",
         {" =", true, "\"", true, {}},
         {"x", "=", "\"1 2\"", "<end>"}},
        {"quotes dropped", "x=\"1 2\"", {" =", false, "\"", false, {}}, {"x", "1 2", "<end>"}},
        {"empty quoted value", "a=\"\"", {"=", false, "\"", false, {}}, {"a", "", "<end>"}},
        {"other quote is text inside",
         "'say \"hi\"' x",
         {" ", false, "'\"", true, {}},
         {"'say \"hi\"'", "x", "<end>"}},
        {"unterminated quote ends", "a \"b c", {" ", false, "\"", true, {}}, {"a", "<end>"}},
        {"multi-character tokens first",
         "a<=b<c",
         {"<", true, "", true, {"<="}},
         {"a", "<=", "b", "<", "c", "<end>"}},
        {"multi-character token ends a word",
         "ab#endcd",
         {"", true, "", true, {"#end"}},
         {"ab", "#end", "cd", "<end>"}},
        {"multi-character token inside quotes",
         "\"a<=b\"",
         {"", true, "\"", true, {"<="}},
         {"\"a<=b\"", "<end>"}},
        {"empty input", "", {" ", true, "\"", true, {}}, {"<end>"}},
        {"no delimiters at all", "one two", {"", true, "", true, {}}, {"one two", "<end>"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Tokens(c.text, c.setup), c.expected) << c.name;
}

TEST(StringTokenizer, EmptyMultiCharacterTokenIsIgnored) {
    TokenizerSetup setup{" ", false, "", true, {""}};
    EXPECT_EQ(Tokens("a b", setup), (V{"a", "b", "<end>"}));
}

} // namespace
} // namespace Vuxo
