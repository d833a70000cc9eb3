// The UI language files of the folder "Language" below the program's folder: a UTF-8 file with the
// byte-order mark whose first line is "Quillo Corvanta UI Language File", three more header lines, and
// from line 5 the body that the localization table loads. Free functions without state of their own; they
// read the folder and the files on every call. ListLanguages is called by the language dialogs, LoadLanguage
// by the main frame when it starts (GUI thread); the table they fill has its own lock.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace Vuxo {

class LocalizationStringTable;

constexpr const char* kLanguageFileMagic = "Quillo Corvanta UI Language File";
// The folder below the program's folder, and the ending a language file's name must have (exact case).
constexpr const char* kLanguageFolder = "Language";
constexpr const char* kLanguageFileSuffix = ".wul";

// One entry of the language list. The three texts are the file's header lines 2 to 4; line 4 is what the
// lists show.
struct LanguageInfo {
    std::u16string note;         // header line 2 (kept, never shown)
    std::u16string languageName; // header line 3, for example "English"
    std::u16string displayText;  // header line 4, for example "Language: English"
    std::string fileName;        // UTF-8 name without folder ("English.wul"); "" for the built-in texts
};

// The built-in Korean texts: "", "한국어", "언어: 한국어 (default)", "".
LanguageInfo BuiltInLanguage();

// Reads the four header lines from `in` (each trimmed of CR, LF, tab and blank at both ends, and cut to
// 127 bytes without splitting a UTF-8 sequence). True when there are four lines and the first is the magic
// text (exact case); lines 2 to 4 then fill the first three fields of `out`. The stream is left just after
// line 4.
bool ReadLanguageHeader(std::istream& in, LanguageInfo& out);

// The built-in entry first, then every regular file of `programFolder`/Language whose name ends in ".wul"
// (exact case), is valid UTF-8, has the byte-order mark and a header that ReadLanguageHeader accepts, in
// ascending byte order of the names. Files that fail are left out; a missing folder lists the built-in
// entry alone.
std::vector<LanguageInfo> ListLanguages(const std::string& programFolder);

// True for a name that can only mean a file directly inside the language folder: not empty, not "." or
// "..", no "/" and no NUL.
bool IsPlainLanguageFileName(const std::string& fileName);

// Loads `programFolder`/Language/`fileName` into `table`. An empty name gives true at once (the built-in
// texts; the table is not touched). False, with the table unchanged, when the name is not plain, the file
// cannot be read or lacks the byte-order mark, or its header is refused; otherwise the result of the
// table's load of the body (false on a malformed line, which leaves the table empty).
bool LoadLanguage(const std::string& programFolder, const std::string& fileName,
                  LocalizationStringTable& table);

// The language file a first start chooses for the desktop's locale (the first set of LC_ALL, LC_MESSAGES
// and LANG, as the caller read it): "" (the built-in Korean texts) for a Korean locale ("ko", "ko_KR",
// "ko_KR.UTF-8", ...), "English.wul" for any other one, an empty locale included.
std::string LanguageFileForLocale(const std::string& locale);

} // namespace Vuxo
