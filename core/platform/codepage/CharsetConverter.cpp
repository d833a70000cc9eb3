#include "core/platform/codepage/CharsetConverter.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace Vuxo {
namespace {

constexpr const char* kUtf16Native = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
constexpr size_t kChunkBytes = 4096;

// Owns one iconv descriptor for the length of one conversion.
class IconvHandle {
public:
    IconvHandle(const char* toCode, const char* fromCode) : cd_(iconv_open(toCode, fromCode)) {}
    ~IconvHandle() {
        if (IsOpen())
            iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // One iconv step; returns 0 on success or the errno value of the failure.
    int Convert(const char*& in, size_t& inLeft, char*& out, size_t& outLeft) {
        char* src = const_cast<char*>(in); // iconv's interface is not const-correct
        const size_t rc = iconv(cd_, in ? &src : nullptr, in ? &inLeft : nullptr, &out, &outLeft);
        in = src;
        return rc == static_cast<size_t>(-1) ? errno : 0;
    }

private:
    iconv_t cd_;
};

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

char16_t UnitAt(const char* p) {
    char16_t u;
    std::memcpy(&u, p, sizeof u);
    return u;
}

// Bytes of the one character at `in` that iconv refused: a whole surrogate pair, else one unit.
size_t RefusedCharacterBytes(const char* in, size_t inLeft) {
    if (inLeft >= 4 && IsHighSurrogate(UnitAt(in)) && IsLowSurrogate(UnitAt(in + 2)))
        return 4;
    return inLeft >= 2 ? 2 : inLeft;
}

} // namespace

bool IsCharsetKnown(const char* charset) {
    IconvHandle to(charset, kUtf16Native);
    IconvHandle from(kUtf16Native, charset);
    return to.IsOpen() && from.IsOpen();
}

std::optional<std::string> EncodeFromUtf16(std::u16string_view text, const char* charset, char substitute) {
    IconvHandle cd(charset, kUtf16Native);
    if (!cd.IsOpen())
        return std::nullopt;
    std::string result;
    result.reserve(text.size() * 2);
    const char* in = reinterpret_cast<const char*>(text.data());
    size_t inLeft = text.size() * sizeof(char16_t);
    char chunk[kChunkBytes];
    bool flushed = false;
    while (!flushed) {
        char* out = chunk;
        size_t outLeft = sizeof chunk;
        int err = 0;
        if (inLeft > 0) {
            err = cd.Convert(in, inLeft, out, outLeft);
        } else {
            const char* none = nullptr; // writes any closing shift sequence
            err = cd.Convert(none, inLeft, out, outLeft);
            flushed = err == 0;
        }
        result.append(chunk, out);
        if (err == EILSEQ || err == EINVAL) {
            const size_t skip = RefusedCharacterBytes(in, inLeft);
            in += skip;
            inLeft -= skip;
            result.push_back(substitute);
        } else if (err != 0 && err != E2BIG) {
            return std::nullopt;
        }
    }
    return result;
}

std::optional<std::u16string> DecodeToUtf16(std::string_view bytes, const char* charset,
                                            char16_t substitute) {
    IconvHandle cd(kUtf16Native, charset);
    if (!cd.IsOpen())
        return std::nullopt;
    std::u16string result;
    result.reserve(bytes.size());
    const char* in = bytes.data();
    size_t inLeft = bytes.size();
    char16_t chunk[kChunkBytes / sizeof(char16_t)];
    bool flushed = false;
    while (!flushed) {
        char* out = reinterpret_cast<char*>(chunk);
        size_t outLeft = sizeof chunk;
        int err = 0;
        if (inLeft > 0) {
            err = cd.Convert(in, inLeft, out, outLeft);
        } else {
            const char* none = nullptr;
            err = cd.Convert(none, inLeft, out, outLeft);
            flushed = err == 0;
        }
        result.append(chunk, reinterpret_cast<char16_t*>(out) - chunk);
        if (err == EILSEQ) {
            ++in;
            --inLeft;
            result.push_back(substitute);
        } else if (err == EINVAL) {
            in += inLeft; // an incomplete sequence can only stand at the end
            inLeft = 0;
            result.push_back(substitute);
        } else if (err != 0 && err != E2BIG) {
            return std::nullopt;
        }
    }
    return result;
}

} // namespace Vuxo
