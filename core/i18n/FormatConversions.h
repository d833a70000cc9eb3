// Compares the printf conversions of a built-in text and its translation, so that a translated
// format string can never ask printf for arguments the caller did not pass.
// Free functions with no state; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

// The conversions of `format` in order, each reduced to what decides the arguments printf reads:
// an argument position ("2$"), "*" for a width or precision taken from the arguments, the length
// modifier and the conversion character. Flags and numeric widths and precisions are left out,
// since a translation may change them freely. "%%" is no conversion. A "%" whose conversion is
// cut off by the end of the text yields an entry of its own, so it only matches the same.
std::vector<std::string> ListFormatConversions(std::string_view format);

// True when both texts have the same conversions in the same order.
bool HaveSameFormatConversions(std::string_view original, std::string_view translation);

} // namespace Vuxo
