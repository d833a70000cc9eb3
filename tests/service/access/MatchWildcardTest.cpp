#include "service/access/MatchWildcard.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace Vuxo {
namespace {

// The definition, written as plainly as possible: "*" takes one character and then may take more.
bool ReferenceMatch(const char* pattern, const char* text) {
    if (*pattern == '\0') {
        return *text == '\0';
    }
    if (*text == '\0') {
        return false;
    }
    if (*pattern == '*') {
        return ReferenceMatch(pattern, text + 1) || ReferenceMatch(pattern + 1, text + 1);
    }
    return (*pattern == '?' || *pattern == *text) && ReferenceMatch(pattern + 1, text + 1);
}

TEST(MatchWildcardTest, Examples) {
    const struct {
        const char* pattern;
        const char* text;
        bool match;
    } cases[] = {
        {"192.168.*", "192.168.0.1", true},
        {"192.168.*", "192.168.", false}, // "*" is never an empty run
        {"*.*.*.*", "1.2.3.4.5", true},
        {"*.*.*.*", "a.b.c.d", true},
        {"*.*.*.*", "1..2.3", false},
        {"*.*.*.*", ".1.2.3", false},
        {"*.*.*.*", "?.?.?.?", true},
        {"10.0.0.5", "10.0.0.50", false},
        {" 10.0.0.5", "10.0.0.5", false},
        {"1?.0.0.1", "1.0.0.1", false},
        {"A*", "a1", false},
        {"*", "", false},
        {"**", "x", false},
        {"", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchWildcard(c.pattern, c.text), c.match) << c.pattern << " ~ " << c.text;
    }
    EXPECT_FALSE(MatchWildcard(nullptr, "x"));
    EXPECT_FALSE(MatchWildcard("x", nullptr));
}

TEST(MatchWildcardTest, AgreesWithTheDefinitionOnEveryShortPatternAndText) {
    const std::string alphabet = "a.*?";
    const std::string textAlphabet = "a.b";
    std::vector<std::string> patterns{""};
    std::vector<std::string> texts{""};
    for (int length = 1; length <= 5; ++length) {
        const std::size_t patternsBefore = patterns.size();
        for (std::size_t i = 0; i < patternsBefore; ++i) {
            if (patterns[i].size() == static_cast<std::size_t>(length - 1)) {
                for (char c : alphabet) {
                    patterns.push_back(patterns[i] + c);
                }
            }
        }
        const std::size_t textsBefore = texts.size();
        for (std::size_t i = 0; i < textsBefore; ++i) {
            if (texts[i].size() == static_cast<std::size_t>(length - 1)) {
                for (char c : textAlphabet) {
                    texts.push_back(texts[i] + c);
                }
            }
        }
    }
    int mismatches = 0;
    for (const std::string& pattern : patterns) {
        for (const std::string& text : texts) {
            if (MatchWildcard(pattern, text) != ReferenceMatch(pattern.c_str(), text.c_str())) {
                ADD_FAILURE() << "'" << pattern << "' ~ '" << text << "'";
                if (++mismatches > 10) {
                    return;
                }
            }
        }
    }
}

TEST(MatchWildcardTest, ManyStarsAgainstALongTextStillFinish) {
    // Plain recursion would try every way of cutting the text among the stars.
    const std::string pattern = std::string(40, '*') + "b";
    const std::string text(4000, 'a');
    EXPECT_FALSE(MatchWildcard(pattern, text));
    EXPECT_TRUE(MatchWildcard(pattern, text + "b"));
}

} // namespace
} // namespace Vuxo
