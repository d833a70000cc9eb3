// Base64 decoding for HTTP Basic credentials. Stateless; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Vuxo {

// True for a text of whole groups of four from the Base64 alphabet, with "=" padding only in
// the last two places; the empty text passes.
bool IsBase64Text(std::string_view text);

// The decoded bytes, or "" when IsBase64Text fails.
std::string Base64Decode(std::string_view text);

// The 6-bit value of one Base64 character, or 255 for anything else (padding included).
uint8_t Base64CharValue(char c);

} // namespace Vuxo
