// The UI language of a first start: when the program's folder holds no mount.ini yet, `uiLanguageFile`
// starts as the language file that matches the desktop's locale, so a new user reads the program in their
// language from the first window on; an existing mount.ini is never changed. Called once by the program's
// entry, on its first thread, before the main frame loads the language.
#pragma once

#include <string>

namespace Vuxo {

class QuilloConfig;

// Whether `programFolder` holds a mount.ini (anything by that name). Asked before the configuration is
// made, which reads the file.
bool HasMountIni(const std::string& programFolder);

// The locale the desktop's messages are shown in: the first non-empty of LC_ALL, LC_MESSAGES and LANG.
std::string DesktopMessagesLocale();

// Sets `uiLanguageFile` for the desktop's locale when `mountIniExisted` is false; else changes nothing.
void ChooseFirstStartLanguage(QuilloConfig& config, bool mountIniExisted);

} // namespace Vuxo
