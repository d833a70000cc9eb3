// Percent decoding of request paths and form values: never reads out of bounds, only
// shrinks the text, and undoes UrlEncode exactly.
#include "core/text/UrlCoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The decoder reads the fuzzer's own exactly sized buffer, so any overrun is seen.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string decoded = Vuxo::UrlDecode(input);
    if (decoded.size() > input.size())
        abort();
    if (input.find('%') == std::string_view::npos && decoded != input)
        abort();
    if (Vuxo::UrlDecode(Vuxo::UrlEncode(input)) != input)
        abort();
    const std::string form = Vuxo::FormDecode(input);
    if (form.size() != decoded.size())
        abort();
    return 0;
}
