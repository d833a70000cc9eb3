#include "service/upload/UploadNames.h"

#include "core/text/StringHelpers.h"
#include "core/text/Utf8.h"

#include <algorithm>
#include <climits>
#include <string>

namespace Vuxo {

std::string FirstPathSegment(std::string_view text) {
    return std::string(text.substr(0, text.find('/')));
}

bool HasParentReference(std::string_view text) {
    std::string framed = "/" + std::string(text) + "/";
    for (char& c : framed) {
        if (c == '\\') {
            c = '/';
        }
    }
    return framed.find("/../") != std::string::npos;
}

std::u16string FormatNumberWithCommasW(int32_t number) {
    const int64_t wide = number;
    std::string digits = std::to_string(wide < 0 ? -wide : wide);
    std::string text = (wide < 0 ? "-" : "") + GroupDigits(digits, 3);
    return std::u16string(text.begin(), text.end());
}

std::string AddNumberSuffix(std::string_view name, uint32_t n) {
    if (n == 0) {
        return std::string(name);
    }
    const std::u16string number =
        FormatNumberWithCommasW(static_cast<int32_t>(std::min<uint32_t>(n, INT32_MAX)));
    const std::string suffix = "(" + std::string(number.begin(), number.end()) + ")";
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return std::string(name) + suffix;
    }
    return std::string(name.substr(0, dot)) + suffix + std::string(name.substr(dot));
}

std::string JoinFolderName(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    return path.append(name);
}

UploadNameCheck CleanUploadFileName(std::string_view clientName, std::string& checked) {
    const size_t separator = clientName.find_last_of("/\\");
    if (separator != std::string_view::npos) {
        clientName.remove_prefix(separator + 1);
    }
    std::u16string wide = Utf8ToWide(clientName);
    Trim(wide, u"\r\n\t ");
    checked = WideToUtf8(wide);
    if (checked.empty()) {
        return UploadNameCheck::Empty;
    }
    // A control character (NUL, a line break left inside, ...) could forge a line of the day log.
    if (checked == "." || checked == ".." || HasControlCharacter(checked)) {
        return UploadNameCheck::Invalid;
    }
    return UploadNameCheck::Ok;
}

} // namespace Vuxo
