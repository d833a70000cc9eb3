#include "service/language/LanguageFiles.h"

#include "core/file/FindFileIterator.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/loader/Loaders.h"
#include "core/text/StringHelpers.h"
#include "core/text/Utf8.h"

#include <algorithm>
#include <sstream>

namespace Vuxo {

namespace {

// Header lines are kept to 127 bytes, as the language lists show them.
constexpr size_t kHeaderLineLimit = 127;
constexpr const char* kHeaderBlanks = "\r\n\t ";

std::string HeaderLine(std::string line) {
    Trim(line, kHeaderBlanks);
    line.resize(Utf8CutLength(line, kHeaderLineLimit));
    Trim(line, kHeaderBlanks);
    return line;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string LanguageFolder(const std::string& programFolder) {
    return programFolder + "/" + kLanguageFolder;
}

// The file's text after the byte-order mark, with `info` filled from its header; the stream is left at the
// first body line.
bool OpenLanguageFile(const std::string& path, std::istringstream& text, LanguageInfo& info) {
    std::string bytes;
    if (!LoadUtf8TextFile(bytes, path)) {
        return false;
    }
    text.str(std::move(bytes));
    return ReadLanguageHeader(text, info);
}

} // namespace

LanguageInfo BuiltInLanguage() {
    return LanguageInfo{u"", u"한국어", u"언어: 한국어 (default)", ""};
}

bool ReadLanguageHeader(std::istream& in, LanguageInfo& out) {
    std::string lines[4];
    for (std::string& line : lines) {
        if (!std::getline(in, line)) {
            return false;
        }
        line = HeaderLine(std::move(line));
    }
    if (lines[0] != kLanguageFileMagic) {
        return false;
    }
    out.note = Utf8ToWide(lines[1]);
    out.languageName = Utf8ToWide(lines[2]);
    out.displayText = Utf8ToWide(lines[3]);
    return true;
}

std::vector<LanguageInfo> ListLanguages(const std::string& programFolder) {
    const std::string folder = LanguageFolder(programFolder);
    std::vector<std::string> names;
    for (const FindFileData& entry : FindFileRange(folder)) {
        if (entry.IsRegularFile() && EndsWith(entry.name, kLanguageFileSuffix) && IsValidUtf8(entry.name)) {
            names.push_back(entry.name);
        }
    }
    // The folder search has no order of its own; the list is the same on every start.
    std::sort(names.begin(), names.end());

    std::vector<LanguageInfo> languages{BuiltInLanguage()};
    for (const std::string& name : names) {
        std::istringstream text;
        LanguageInfo info;
        if (OpenLanguageFile(folder + "/" + name, text, info)) {
            info.fileName = name;
            languages.push_back(std::move(info));
        }
    }
    return languages;
}

bool IsPlainLanguageFileName(const std::string& fileName) {
    return !fileName.empty() && fileName != "." && fileName != ".." &&
           fileName.find('/') == std::string::npos && fileName.find('\0') == std::string::npos;
}

bool LoadLanguage(const std::string& programFolder, const std::string& fileName,
                  LocalizationStringTable& table) {
    if (fileName.empty()) {
        return true;
    }
    if (!IsPlainLanguageFileName(fileName)) {
        return false;
    }
    std::istringstream text;
    LanguageInfo info;
    if (!OpenLanguageFile(LanguageFolder(programFolder) + "/" + fileName, text, info)) {
        return false;
    }
    return table.Load(text);
}

std::string LanguageFileForLocale(const std::string& locale) {
    // "ko" alone or followed by a territory, a code set or a modifier.
    const bool korean = locale.rfind("ko", 0) == 0 &&
                        (locale.size() == 2 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@');
    return korean ? std::string() : std::string("English.wul");
}

} // namespace Vuxo
