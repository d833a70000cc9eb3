// Small helpers shared by the main frame's sources: translated texts as QString.
#pragma once

#include "shell/frame/CommandIds.h"
#include "shell/platform/ShellText.h"

#include <QString>

namespace Vuxo {

// A built-in text through the localization table.
inline QString FrameText(const char* koreanUtf8) {
    return ShellText(koreanUtf8);
}

} // namespace Vuxo
