#include "service/mounts/Mount.h"

#include "core/text/UrlCoding.h"
#include "service/mounts/Split.h"

#include <vector>

namespace Vuxo {

namespace {

constexpr std::size_t kMountEntryParts = 6;

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

bool HasNul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

} // namespace

bool ParseMountEntry(std::string_view text, std::string& name, Mount& mount) {
    std::vector<std::string> parts;
    Split(text, '|', parts);
    if (parts.size() != kMountEntryParts) {
        return false;
    }
    std::string decodedName = UrlDecode(parts[0]);
    std::string localPath = UrlDecode(parts[1]);
    // A name with "/" could never be requested, and a NUL would cut the path short in every file call.
    if (decodedName.empty() || HasNul(decodedName) || decodedName.find('/') != std::string::npos ||
        localPath.empty() || HasNul(localPath)) {
        return false;
    }
    name = std::move(decodedName);
    mount.localPath = std::move(localPath);
    mount.reservedText = UrlDecode(parts[2]);
    mount.isDirectory = parts[3] == "yes";
    mount.reservedFlag = parts[5] == "yes";
    return true;
}

std::string FormatMountEntry(const std::string& name, const Mount& mount) {
    std::string text = UrlEncode(name);
    text += '|';
    text += UrlEncode(mount.localPath);
    text += '|';
    text += UrlEncode(mount.reservedText);
    text += '|';
    text += YesNo(mount.isDirectory);
    text += "|x|";
    text += YesNo(mount.reservedFlag);
    return text;
}

} // namespace Vuxo
