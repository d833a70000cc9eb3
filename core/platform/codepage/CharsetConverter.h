// The platform's character-set conversions, through iconv. This is the only code that calls
// iconv. Each call opens its own iconv handle (iconv_t is not thread-safe) and closes it
// before returning, so the functions may be called from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Vuxo {

// True when iconv can convert between UTF-16 and `charset` in both directions.
bool IsCharsetKnown(const char* charset);

// UTF-16 (native byte order) to `charset`. A character the charset cannot hold, or a lone
// surrogate, becomes `substitute` (one per character; a surrogate pair is one character).
// std::nullopt when iconv does not know the charset.
std::optional<std::string> EncodeFromUtf16(std::u16string_view text, const char* charset, char substitute);

// `charset` to UTF-16 (native byte order). Each byte that does not start a valid sequence, and
// a sequence cut short at the end, becomes `substitute`. std::nullopt when iconv does not know
// the charset.
std::optional<std::u16string> DecodeToUtf16(std::string_view bytes, const char* charset, char16_t substitute);

} // namespace Vuxo
