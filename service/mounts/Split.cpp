#include "service/mounts/Split.h"

namespace Vuxo {

void Split(std::string_view text, char separator, std::vector<std::string>& pieces) {
    if (text.empty()) {
        return;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return;
        }
        pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace Vuxo
