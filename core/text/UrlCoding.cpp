#include "core/text/UrlCoding.h"

#include <array>

namespace Vuxo {
namespace {

// Looked up in a table: a folder page encodes every name it links.
constexpr auto kKeptInUrl = [] {
    std::array<bool, 256> kept{};
    for (int c = 0; c < 256; ++c) {
        kept[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                  c == '/' || c == '_';
    }
    return kept;
}();

bool IsKeptInUrl(unsigned char c) {
    return kKeptInUrl[c];
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string UrlEncode(std::string_view text) {
    std::string result;
    result.reserve(text.size() * 3);
    AppendUrlEncoded(result, text);
    return result;
}

void AppendUrlEncoded(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    size_t start = 0; // runs of kept bytes are copied whole
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!IsKeptInUrl(c)) {
            const char escaped[3] = {'%', kHex[c >> 4], kHex[c & 0x0F]};
            out.append(text.substr(start, i - start)).append(escaped, 3);
            start = i + 1;
        }
    }
    out.append(text.substr(start));
}

namespace {

// One pass for both: a form's "+" is a space only where it stands itself, "%2B" stays a plus.
std::string Decode(std::string_view text, bool plusIsSpace) {
    std::string result;
    result.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                result.push_back(static_cast<char>(high * 16 + low));
                i += 3;
                continue;
            }
        }
        result.push_back(plusIsSpace && text[i] == '+' ? ' ' : text[i]);
        ++i;
    }
    return result;
}

} // namespace

std::string UrlDecode(std::string_view text) {
    return Decode(text, false);
}

std::string FormDecode(std::string_view text) {
    return Decode(text, true);
}

} // namespace Vuxo
