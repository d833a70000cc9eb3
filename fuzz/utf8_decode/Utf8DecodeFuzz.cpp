// Strict UTF-8 decoding: no multi-byte input may turn into ASCII or NUL, well-formed input
// must come back byte for byte, and the buffers never overflow.
#include "core/text/Utf8.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Decoded straight from the fuzzer's exactly sized buffer, so any overrun is seen.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<char16_t> wide(size);
    const size_t units = Vuxo::Utf8Decode(wide.data(), input.data(), input.size());
    if (units > size)
        abort();
    wide.resize(units);

    size_t asciiIn = 0;
    size_t asciiOut = 0;
    for (unsigned char c : input)
        asciiIn += c < 0x80;
    for (char16_t u : wide)
        asciiOut += u < 0x80;
    if (asciiIn != asciiOut) // also covers NUL: it is ASCII
        abort();

    std::vector<char> back(units * 3);
    back.resize(Vuxo::Utf8Encode(back.data(), wide.data(), wide.size()));
    const std::string reencoded(back.begin(), back.end());
    const bool valid = Vuxo::IsValidUtf8(input);
    if (valid && reencoded != input)
        abort();
    if (!valid && std::u16string(wide.begin(), wide.end()).find(u'\uFFFD') == std::u16string::npos)
        abort();
    // Whatever came in, the re-encoded text is well formed and decodes to the same units.
    if (!Vuxo::IsValidUtf8(reencoded) ||
        Vuxo::Utf8ToWide(reencoded) != std::u16string(wide.begin(), wide.end()))
        abort();
    return 0;
}
