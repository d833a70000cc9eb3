// The row of closing buttons at the bottom right of the shell's dialogs: one push button per entry, named
// after its id; IDOK accepts the dialog and IDCANCEL rejects it; the first is the default button. The
// buttons and the layout belong to the dialog. GUI thread only.
#pragma once

#include <QString>

#include <initializer_list>

class QDialog;
class QHBoxLayout;

namespace Vuxo {

struct DialogButton {
    int id;
    QString text;
};

QHBoxLayout* MakeButtonRow(QDialog& dialog, std::initializer_list<DialogButton> buttons);

} // namespace Vuxo
