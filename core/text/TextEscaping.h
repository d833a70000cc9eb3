// Escaping of text for the places it is written into: log lines, and later pages and scripts. Each
// context has one escaper here, with a parameter where two contexts really differ.
// Stateless; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

// Every ASCII control character (0x00-0x1F and 0x7F) becomes "%" and two upper-case hex digits, so a
// text from a request can never start another line of a log: "a\nb" -> "a%0Ab". Other bytes, UTF-8
// included, are copied.
std::string EscapeControlCharacters(std::string_view text);

} // namespace Vuxo
