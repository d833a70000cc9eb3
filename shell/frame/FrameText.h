// Small helpers shared by the main frame's sources: translated texts as QString, and the commands whose
// dialogs are not part of the program yet.
#pragma once

#include "shell/frame/CommandIds.h"
#include "shell/platform/ShellText.h"

#include <QString>

namespace Vuxo {

// A built-in text through the localization table.
inline QString FrameText(const char* koreanUtf8) {
    return ShellText(koreanUtf8);
}

// Share settings and the about box: their buttons and menu items stay disabled and the commands do nothing
// until their dialogs exist.
constexpr int kUnavailableCommands[] = {ID_SHARE_SETTINGS, ID_ABOUT_BUTTON, ID_APP_ABOUT};

inline bool IsUnavailableCommand(int commandId) {
    for (const int id : kUnavailableCommands) {
        if (id == commandId) {
            return true;
        }
    }
    return false;
}

} // namespace Vuxo
