#include "core/text/Base64.h"

namespace Vuxo {
namespace {

constexpr uint8_t kNotBase64 = 255;

bool IsAlphabet(char c) {
    return Base64CharValue(c) != kNotBase64;
}

} // namespace

uint8_t Base64CharValue(char c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<uint8_t>(c - 'A');
    if (c >= 'a' && c <= 'z')
        return static_cast<uint8_t>(c - 'a' + 26);
    if (c >= '0' && c <= '9')
        return static_cast<uint8_t>(c - '0' + 52);
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return kNotBase64;
}

bool IsBase64Text(std::string_view text) {
    const size_t length = text.size();
    if (length % 4 != 0)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (IsAlphabet(text[i]))
            continue;
        // Padding may stand only in the last two places, and then the text must end in it.
        if (text[i] == '=' && i + 2 >= length)
            return text[length - 1] == '=';
        return false;
    }
    return true;
}

std::string Base64Decode(std::string_view text) {
    std::string result;
    if (!IsBase64Text(text))
        return result;
    result.reserve(text.size() / 4 * 3);
    for (size_t group = 0; group < text.size(); group += 4) {
        uint32_t bits = 0;
        for (size_t i = 0; i < 4; ++i) {
            const uint8_t value = Base64CharValue(text[group + i]);
            if (value == kNotBase64) {
                // Padding: the i characters before it hold i - 1 whole bytes.
                for (size_t b = 0; b + 1 < i; ++b)
                    result.push_back(static_cast<char>((bits >> (6 * i - 8 * (b + 1))) & 0xFF));
                return result;
            }
            bits = (bits << 6) | value;
        }
        result.push_back(static_cast<char>((bits >> 16) & 0xFF));
        result.push_back(static_cast<char>((bits >> 8) & 0xFF));
        result.push_back(static_cast<char>(bits & 0xFF));
    }
    return result;
}

} // namespace Vuxo
