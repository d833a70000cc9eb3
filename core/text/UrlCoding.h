// Percent-coding of URL paths and query values. Stateless; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

// Keeps ASCII letters, digits, ".", "/" and "_"; every other byte becomes "%" and two
// lower-case hex digits ("a b-c" -> "a%20b%2dc").
std::string UrlEncode(std::string_view text);
// The same, appended to `out`.
void AppendUrlEncoded(std::string& out, std::string_view text);

// Replaces every "%" followed by two hex digits (either case) with the byte they spell.
// A "%" without two hex digits after it stays as it is; "+" stays "+". A decoded %00 is
// kept as a NUL byte, so callers that build paths must refuse it.
std::string UrlDecode(std::string_view text);

// Form values: as UrlDecode, and every "+" that stands itself becomes a space ("%2B" is a plus).
std::string FormDecode(std::string_view text);

} // namespace Vuxo
