#include "shell/frame/UiLanguage.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/loader/Loaders.h"

#include <sstream>

namespace Vuxo {

namespace {

// Header lines are kept to 127 characters, as the language lists show them.
constexpr size_t kHeaderLineLimit = 127;

std::string TrimHeaderLine(const std::string& line) {
    constexpr const char* kBlanks = "\r\n\t ";
    const size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return {};
    }
    const size_t last = line.find_last_not_of(kBlanks);
    return line.substr(first, last - first + 1).substr(0, kHeaderLineLimit);
}

bool IsPlainFileName(const std::string& name) {
    return name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

} // namespace

bool LoadUiLanguageFile(const std::string& programFolder, const std::string& fileName,
                        LocalizationStringTable& table) {
    if (fileName.empty()) {
        return true;
    }
    if (!IsPlainFileName(fileName)) {
        return false;
    }
    std::string text;
    if (!LoadUtf8TextFile(text, programFolder + "/Language/" + fileName)) {
        return false;
    }
    std::istringstream stream(text);
    std::string header[4];
    for (std::string& line : header) {
        if (!std::getline(stream, line)) {
            return false;
        }
        line = TrimHeaderLine(line);
    }
    if (header[0] != kLanguageFileMagic) {
        return false;
    }
    return table.Load(stream);
}

} // namespace Vuxo
