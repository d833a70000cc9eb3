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

namespace {

// "(n)" with commas; "" for 0.
std::string NumberMark(uint32_t n) {
    if (n == 0) {
        return {};
    }
    const std::u16string number =
        FormatNumberWithCommasW(static_cast<int32_t>(std::min<uint32_t>(n, INT32_MAX)));
    return "(" + std::string(number.begin(), number.end()) + ")";
}

// The first `size` bytes at most, shortened further rather than cut inside a UTF-8 sequence.
std::string_view CutAtCharacter(std::string_view text, size_t size) {
    if (text.size() <= size) {
        return text;
    }
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) {
        --size;
    }
    return text.substr(0, size);
}

// The stem (cut to fit when needed, and then followed by the mark), the number, the tail; "" when the
// stem would keep no more than `keep` bytes.
std::string NumberedWithin(std::string_view stem, std::string_view tail, uint32_t n, size_t limit,
                           std::string_view cutMark, size_t keep) {
    const std::string number = NumberMark(n);
    if (stem.size() + number.size() + tail.size() > limit) {
        const size_t fixed = tail.size() + cutMark.size() + number.size();
        if (fixed >= limit) {
            return {};
        }
        stem = CutAtCharacter(stem, limit - fixed);
        if (stem.size() <= keep) {
            return {};
        }
        return std::string(stem).append(cutMark).append(number).append(tail);
    }
    return std::string(stem).append(number).append(tail);
}

} // namespace

std::string AddNumberSuffix(std::string_view name, uint32_t n) {
    const size_t dot = std::min(name.rfind('.'), name.size());
    return std::string(name.substr(0, dot)) + NumberMark(n) + std::string(name.substr(dot));
}

std::string AddNumberSuffixWithin(std::string_view name, uint32_t n, size_t limit, std::string_view cutMark) {
    const size_t dot = std::min(name.rfind('.'), name.size());
    std::string fitted = NumberedWithin(name.substr(0, dot), name.substr(dot), n, limit, cutMark, 0);
    if (fitted.empty() && dot < name.size()) {
        fitted = NumberedWithin(name, {}, n, limit, cutMark, 0); // a long ".hidden"-like tail
    }
    return fitted;
}

std::string MakeTempUploadName(std::string_view name, uint32_t n, size_t limit) {
    const std::string stem = std::string(kTempUploadPrefix).append(name);
    return NumberedWithin(stem, kTempUploadSuffix, n, limit, "~", kTempUploadPrefix.size());
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
    // A control character (NUL, a line break left inside, ...) could forge a line of the day log; a
    // bidirectional one makes "evil\u202Etxt.exe" read "evilexe.txt".
    if (checked == "." || checked == ".." || HasControlCharacter(checked)) {
        return UploadNameCheck::Invalid;
    }
    return UploadNameCheck::Ok;
}

} // namespace Vuxo
