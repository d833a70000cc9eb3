// A built-in text of the shell through the localization table, as a QString: the one helper the frame and
// the dialogs translate their texts with. Any thread (the table has its own lock).
#pragma once

#include "core/i18n/LocalizationStringTable.h"

#include <QString>

namespace Vuxo {

inline QString ShellText(const char* koreanUtf8) {
    return QString::fromUtf8(Tr(koreanUtf8));
}

} // namespace Vuxo
