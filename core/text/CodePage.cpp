#include "core/text/CodePage.h"

#include "core/platform/codepage/CharsetConverter.h"
#include "core/text/Utf8.h"

namespace Vuxo {
namespace {

constexpr char kUnrepresentable = '_';
constexpr char16_t kInvalidInput = 0xFFFD;

std::string CharsetName(int codePage) {
    if (codePage == kCodePageAnsi || codePage == kCodePageKorean)
        return "CP949";
    return "CP" + std::to_string(codePage);
}

} // namespace

std::string WideToMultiByte(std::u16string_view wide, int codePage) {
    if (codePage == kCodePageUtf8)
        return WideToUtf8(wide);
    if (codePage < 0)
        return {};
    return EncodeFromUtf16(wide, CharsetName(codePage).c_str(), kUnrepresentable).value_or(std::string());
}

std::u16string MultiByteToWide(std::string_view bytes, int codePage) {
    if (codePage == kCodePageUtf8)
        return Utf8ToWide(bytes);
    if (codePage < 0)
        return {};
    return DecodeToUtf16(bytes, CharsetName(codePage).c_str(), kInvalidInput).value_or(std::u16string());
}

std::string Utf8ToCp949(std::string_view utf8) {
    return WideToMultiByte(Utf8ToWide(utf8), kCodePageKorean);
}

std::string Cp949ToUtf8(std::string_view cp949) {
    return WideToUtf8(MultiByteToWide(cp949, kCodePageKorean));
}

} // namespace Vuxo
