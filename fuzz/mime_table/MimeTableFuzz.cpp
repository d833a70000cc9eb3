// Loads arbitrary bytes as a MIME table and looks up pieces of them: the load never fails, every lookup
// answers a type, and a lookup never depends on the letter case of its argument.
#include "core/text/StringHelpers.h"
#include "service/mime/MimeTypeTable.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    Vuxo::ToUpper(upper);
    return upper;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Vuxo::MimeTypeTable table;
    table.Load(text);
    // A table never holds more extensions than the text has words.
    if (table.GetCount() > size / 2 + 1) {
        std::abort();
    }
    for (size_t start = 0; start < text.size(); start += 7) {
        const std::string_view word = text.substr(start, 1 + start % 5);
        const std::string_view type = table.GetMimeType(word);
        if (type.empty() || type != table.GetMimeType(Upper(word))) {
            std::abort();
        }
    }
    return 0;
}
