// Small helpers shared by the main frame's sources: translated texts as QString, and the commands whose
// dialog is not part of the program yet.
#pragma once

#include "shell/frame/CommandIds.h"
#include "shell/platform/ShellText.h"

#include <QString>

namespace Vuxo {

// A built-in text through the localization table.
inline QString FrameText(const char* koreanUtf8) {
    return ShellText(koreanUtf8);
}

// Preferences: its button stays disabled and the command does nothing until its dialog exists.
constexpr int kUnavailableCommands[] = {ID_PREFERENCES};

inline bool IsUnavailableCommand(int commandId) {
    for (const int id : kUnavailableCommands) {
        if (id == commandId) {
            return true;
        }
    }
    return false;
}

} // namespace Vuxo
