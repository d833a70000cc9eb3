// MatchWildcard: the pattern test of the IP filter and of the public-address check. "*" stands for one or
// more characters (never an empty run, dots included), "?" for exactly one, every other character for
// itself (case matters); pattern and text must end together. Runs in time proportional to the product of
// the two lengths at worst, whatever the pattern. Stateless; safe from any thread.
#pragma once

#include <string_view>

namespace Vuxo {

bool MatchWildcard(std::string_view pattern, std::string_view text);
// Null pointers match nothing.
bool MatchWildcard(const char* pattern, const char* text);

} // namespace Vuxo
