#include "core/text/TextEscaping.h"

namespace Vuxo {

namespace {

bool IsControlCharacter(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

} // namespace

std::string EscapeControlCharacters(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsControlCharacter(byte)) {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace Vuxo
