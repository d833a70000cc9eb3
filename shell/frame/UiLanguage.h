// Loads the user-interface language file that the setting `uiLanguageFile` names: "Language/<name>" in the
// program's folder, a UTF-8 file with the byte-order mark whose first line is
// "Quillo Corvanta UI Language File", three more header lines, and from line 5 the body that the
// localization table loads. Called by the main frame when it starts, on the GUI thread.
#pragma once

#include <string>

namespace Vuxo {

class LocalizationStringTable;

constexpr const char* kLanguageFileMagic = "Quillo Corvanta UI Language File";

// True for an empty name (the built-in texts; the table is not touched). False, with the table unchanged,
// when the name is not a plain file name (a folder part, "..", a NUL), the file cannot be read or lacks the
// mark, or its first line is not the magic text; otherwise the result of the table's load of the body.
bool LoadUiLanguageFile(const std::string& programFolder, const std::string& fileName,
                        LocalizationStringTable& table);

} // namespace Vuxo
