// Conversions between UTF-16 and Windows-style code pages, kept by number as the
// configuration and the plug-ins know them. 949 (Korean) goes through the platform's
// iconv layer, 65001 is UTF-8, and 0 ("the system's ANSI page") is taken as 949.
// Other numbers are tried as iconv's "CP<n>"; a page iconv does not know gives "".
// A character the target page lacks becomes "_"; bytes that are not valid in the
// source page become U+FFFD. Stateless; safe from any thread (one iconv handle per call).
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

constexpr int kCodePageAnsi = 0;
constexpr int kCodePageKorean = 949;
constexpr int kCodePageUtf8 = 65001;

std::string WideToMultiByte(std::u16string_view wide, int codePage);
std::u16string MultiByteToWide(std::string_view bytes, int codePage);

// UTF-8 <-> code page 949 in one step.
std::string Utf8ToCp949(std::string_view utf8);
std::string Cp949ToUtf8(std::string_view cp949);

} // namespace Vuxo
