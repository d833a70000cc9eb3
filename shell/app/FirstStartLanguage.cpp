#include "shell/app/FirstStartLanguage.h"

#include "core/platform/fs/FileCalls.h"
#include "service/config/QuilloConfig.h"
#include "service/language/LanguageFiles.h"

#include <cstdlib>

namespace Vuxo {

bool HasMountIni(const std::string& programFolder) {
    PathInfo info;
    return QueryPath(programFolder + "/" + QuilloConfig::kFileName, info) && info.kind != PathKind::Missing;
}

std::string DesktopMessagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

void ChooseFirstStartLanguage(QuilloConfig& config, bool mountIniExisted) {
    if (!mountIniExisted) {
        config.uiLanguageFile.Set(LanguageFileForLocale(DesktopMessagesLocale()));
    }
}

} // namespace Vuxo
