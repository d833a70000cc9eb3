// Header-block parsing: the separator search over arbitrary read splits, the request line and header lines,
// the path, the query and a url-encoded form body. Checks what every parsed request must satisfy.
#include "core/http/HeaderParsing.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool IsBlank(char c) {
    return c == '\r' || c == '\n' || c == '\t' || c == ' ';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the size of the pieces in which the block "arrives".
    const size_t step = data[0] % 16 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    const void* direct = ::memmem(bytes, length, "\r\n\r\n", 4);
    int expected = direct == nullptr ? -1 : static_cast<int>(static_cast<const char*>(direct) - bytes);
    int found = -1;
    for (size_t filled = 0; filled < length && found < 0;) {
        size_t added = std::min(step, length - filled);
        filled += added;
        found = Vuxo::FindHeaderEnd(bytes, filled, added);
    }
    Check(found == expected);

    std::string_view text(bytes, found >= 0 ? static_cast<size_t>(found) : length);
    Vuxo::RequestHead head;
    Vuxo::ParseRequestHead(text, head);
    for (const auto& [name, value] : head.headers) {
        for (char c : name) {
            Check(!(c >= 'a' && c <= 'z'));
        }
        Check(name.empty() || (!IsBlank(name.front()) && !IsBlank(name.back())));
        Check(value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back())));
    }
    int method = Vuxo::MethodNumber(head.methodWord);
    Check(method >= Vuxo::kHttpGet && method <= Vuxo::kHttpOtherMethod);

    std::string path = Vuxo::DecodeRequestPath(head.uri);
    Check(path.size() <= head.uri.size());
    Vuxo::HttpFieldMap query;
    Vuxo::ParseQueryString(head.uri, query);
    Vuxo::HttpFieldMap form;
    Vuxo::ParseFormBody(std::string_view(bytes, length), form);
    for (const auto& [name, value] : form) {
        Check(name.size() <= length && value.size() <= length);
    }
    auto type = head.headers.find("CONTENT-TYPE");
    if (type != head.headers.end()) {
        std::string boundary = Vuxo::GetMultipartBoundary(type->second);
        Check(boundary.size() <= type->second.size());
    }
    if (length >= 2) {
        int line = Vuxo::FindLineEnd(bytes, length, length / 2 + 1);
        Check(line < 0 ||
              (static_cast<size_t>(line) + 1 < length && bytes[line] == '\r' && bytes[line + 1] == '\n'));
    }
    return 0;
}
