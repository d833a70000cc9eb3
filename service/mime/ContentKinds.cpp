#include "service/mime/ContentKinds.h"

#include "core/text/StringHelpers.h"
#include "service/mime/MimeTypeTable.h"

#include <array>
#include <string>

namespace Vuxo {

namespace {

constexpr std::array<std::string_view, 9> kPassiveTypes = {
    "text/plain", "text/css",         "text/csv",        "text/tab-separated-values", "text/vtt",
    "text/x-vtt", "application/json", "application/pdf", "application/x-subrip",
};

constexpr std::array<std::string_view, 4> kPassiveTopTypes = {"image/", "audio/", "video/", "font/"};

} // namespace

bool MayRunScript(std::string_view mimeType) {
    std::string type(mimeType.substr(0, mimeType.find(';')));
    Trim(type, " \t");
    ToLower(type);
    for (std::string_view passive : kPassiveTypes) {
        if (type == passive) {
            return false;
        }
    }
    // "image/svg+xml" is a document with script; so is any XML or HTML under a media type.
    if (type.find("xml") != std::string::npos || type.find("svg") != std::string::npos ||
        type.find("html") != std::string::npos) {
        return true;
    }
    for (std::string_view top : kPassiveTopTypes) {
        if (type.size() > top.size() && type.compare(0, top.size(), top) == 0) {
            return false;
        }
    }
    return true;
}

std::string_view ProgramFileType(const MimeTypeTable& table, std::string_view extension) {
    if (EqualsIgnoringCase(extension, "js") || EqualsIgnoringCase(extension, "mjs")) {
        return "text/javascript";
    }
    if (EqualsIgnoringCase(extension, "css")) {
        return "text/css";
    }
    return table.GetMimeType(extension);
}

} // namespace Vuxo
