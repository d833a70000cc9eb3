#include "core/text/Utf8.h"

namespace Vuxo {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// One step of strict decoding: the code point at `in` (or U+FFFD) and the bytes it used.
// An ill-formed sequence uses only its maximal valid prefix (at least one byte), so the
// bytes after it are looked at afresh.
struct DecodedChar {
    char32_t codePoint;
    size_t length;
    bool valid;
};

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

DecodedChar DecodeOne(const unsigned char* in, size_t left) {
    const unsigned char lead = in[0];
    if (lead < 0x80)
        return {lead, 1, true};
    size_t need;
    char32_t cp;
    unsigned char low = 0x80;  // allowed range of the second byte, narrowed to shut out
    unsigned char high = 0xBF; // overlong forms, surrogates and values above U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        cp = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return {kReplacement, 1, false}; // C0, C1, F5-FF or a stray continuation byte
    }
    for (size_t i = 1; i <= need; ++i) {
        if (i >= left)
            return {kReplacement, i, false};
        const unsigned char b = in[i];
        const bool fits = i == 1 ? (b >= low && b <= high) : IsContinuation(b);
        if (!fits)
            return {kReplacement, i, false};
        cp = (cp << 6) | (b & 0x3F);
    }
    return {cp, need + 1, true};
}

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

char* EncodeCodePoint(char* out, char32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

} // namespace

size_t Utf8Decode(char16_t* out, const char* in, size_t len) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(in);
    char16_t* start = out;
    size_t i = 0;
    while (i < len) {
        const DecodedChar ch = DecodeOne(bytes + i, len - i);
        i += ch.length;
        if (ch.codePoint < 0x10000) {
            *out++ = static_cast<char16_t>(ch.codePoint);
        } else {
            const char32_t v = ch.codePoint - 0x10000;
            *out++ = static_cast<char16_t>(0xD800 | (v >> 10));
            *out++ = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
        }
    }
    return static_cast<size_t>(out - start);
}

size_t Utf8Encode(char* out, const char16_t* in, size_t count) {
    char* start = out;
    for (size_t i = 0; i < count; ++i) {
        const char16_t u = in[i];
        if (IsHighSurrogate(u) && i + 1 < count && IsLowSurrogate(in[i + 1])) {
            const char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(in[i + 1]) - 0xDC00);
            out = EncodeCodePoint(out, cp);
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            out = EncodeCodePoint(out, kReplacement);
        } else {
            out = EncodeCodePoint(out, u);
        }
    }
    return static_cast<size_t>(out - start);
}

std::u16string Utf8ToWide(std::string_view utf8) {
    std::u16string wide(utf8.size(), u'\0');
    wide.resize(Utf8Decode(wide.data(), utf8.data(), utf8.size()));
    return wide;
}

std::string WideToUtf8(std::u16string_view wide) {
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(Utf8Encode(utf8.data(), wide.data(), wide.size()));
    return utf8;
}

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t i = 0;
    while (i < bytes.size()) {
        if (p[i] < 0x80) { // fast path for the common ASCII run
            ++i;
            continue;
        }
        const DecodedChar ch = DecodeOne(p + i, bytes.size() - i);
        if (!ch.valid)
            return false;
        i += ch.length;
    }
    return true;
}

size_t Utf8CutLength(std::string_view text, size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    size_t end = limit;
    // Step back over the continuation bytes to the start of the character that does not fit.
    while (end > 0 && IsContinuation(static_cast<unsigned char>(text[end]))) {
        --end;
    }
    return end;
}

} // namespace Vuxo
