// The control ids of the shell's dialogs. Every control carries its id as its object name ("id1016"), so
// tests and the language table's tools find it; the buttons that close a dialog use the ids 1 (OK) and 2
// (Cancel). The results 6 and 7 are the answers of the yes/no boxes. Constants only.
#pragma once

#include <QString>

namespace Vuxo {

enum DialogControlId : int {
    IDOK = 1,
    IDCANCEL = 2,
};

enum DialogAnswer : int {
    IDYES = 6,
    IDNO = 7,
};

// "id" followed by the number: the object name of control `id`.
inline QString ControlName(int id) {
    return QStringLiteral("id%1").arg(id);
}

} // namespace Vuxo
