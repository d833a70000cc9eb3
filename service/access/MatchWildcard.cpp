#include "service/access/MatchWildcard.h"

#include <cstddef>

namespace Vuxo {

// A "*" is read as "one character, then any run (possibly empty)". Matching then follows the usual
// backtracking over the most recent star only, which never revisits a text position more than once per
// star and so stays polynomial for any pattern.
bool MatchWildcard(std::string_view pattern, std::string_view text) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starPattern = std::string_view::npos; // pattern position just after the last "*"
    std::size_t starText = 0;                         // text position its open run reaches to
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            // The star's mandatory character.
            ++p;
            ++t;
            starPattern = p;
            starText = t;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starPattern != std::string_view::npos) {
            // Let the last star take one more character and retry the rest.
            p = starPattern;
            t = ++starText;
        } else {
            return false;
        }
    }
    // Every pattern character needs a text character, a star included.
    return p == pattern.size();
}

bool MatchWildcard(const char* pattern, const char* text) {
    if (pattern == nullptr || text == nullptr) {
        return false;
    }
    return MatchWildcard(std::string_view(pattern), std::string_view(text));
}

} // namespace Vuxo
