// Split: the plain "cut at every separator" of the configuration list items ("a||b" gives "a", "", "b").
// Stateless; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

// Appends the pieces of `text` between the separators to `pieces`, empty pieces included. An empty text
// appends nothing; "|" gives "", "".
void Split(std::string_view text, char separator, std::vector<std::string>& pieces);

} // namespace Vuxo
