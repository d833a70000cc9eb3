// Feeds arbitrary bytes to the language-file body parser: one line on its own, and the whole input
// as a body loaded into a table. The load must end, and whatever it accepts must be sound.
#include "core/i18n/FormatConversions.h"
#include "core/i18n/LanguageLine.h"
#include "core/i18n/LocalizationStringTable.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);

    std::string key;
    std::string value;
    Vuxo::LanguageLineKind kind = Vuxo::ParseLanguageLine(input, key, value);
    if (kind == Vuxo::LanguageLineKind::Pair) {
        // Unescaping only ever shrinks the text, and a pair needs its four quotes and "=".
        if (key.size() + value.size() + 5 > input.size()) {
            std::abort();
        }
    }

    Vuxo::LocalizationStringTable table;
    std::istringstream body{std::string(input)};
    bool loaded = table.Load(body);
    if (kind == Vuxo::LanguageLineKind::Pair && loaded && input.find('\n') == std::string_view::npos) {
        // A single well-formed line is either translated or refused for its conversions.
        std::string translated = table.GetString(key.c_str());
        bool refused = table.GetRefusedKeys().count(key) != 0;
        bool hasNul = key.find('\0') != std::string::npos;
        if (!hasNul && !refused && translated != value) {
            std::abort();
        }
        if (!hasNul && !Vuxo::HaveSameFormatConversions(key, translated)) {
            std::abort();
        }
    }
    if (kind == Vuxo::LanguageLineKind::Error && input.find('\n') == std::string_view::npos && loaded) {
        std::abort();
    }
    return 0;
}
