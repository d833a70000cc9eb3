#include "service/dispatch/MapHelpers.h"

#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"

#include <string_view>

namespace Vuxo {

std::string GetMapValue(const HttpFieldMap& map, std::string_view key) {
    const auto found = map.find(key);
    return found != map.end() ? found->second : std::string();
}

bool FindMapValue(const HttpFieldMap& map, std::string_view key, std::string& value) {
    const auto found = map.find(key);
    if (found == map.end()) {
        return false;
    }
    value = found->second;
    return true;
}

void SplitLines(std::vector<std::string>& lines, const char* text) {
    if (text == nullptr) {
        return;
    }
    const std::string_view all(text);
    size_t start = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] != '\r' && all[i] != '\n') {
            continue;
        }
        std::string segment(all.substr(start, i - start));
        start = i + 1;
        Trim(segment, " \t\r\n");
        if (!segment.empty()) {
            lines.push_back(FormDecode(segment));
        }
    }
}

} // namespace Vuxo
