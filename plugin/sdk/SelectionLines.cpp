#include "plugin/sdk/SelectionLines.h"

#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"

namespace Vuxo {

void SplitLines(std::vector<std::string>& out, std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        std::string piece(text.substr(start, i - start));
        start = i + 1;
        Trim(piece, " \t\r\n");
        if (!piece.empty()) {
            out.push_back(FormDecode(piece));
        }
    }
}

bool IsSafeSelectionName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) {
        return false;
    }
    if (name.back() == '/') {
        name.remove_suffix(1);
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        const std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

} // namespace Vuxo
