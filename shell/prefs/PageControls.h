// Small helpers the preferences pages and their dialogs share: control ids as object names (tests find
// controls by them) and the box every refusal shows. GUI thread.
#pragma once

#include "shell/dialogs/DialogIds.h"
#include "shell/platform/MessageBoxes.h"
#include "shell/platform/ShellText.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace Vuxo {

// Names the control after its id ("id1000") and returns it.
template <typename Widget> Widget* WithId(Widget* widget, int id) {
    widget->setObjectName(ControlName(id));
    return widget;
}

// A refusal: the translated text with the exclamation icon and no caption, over `parent`.
inline void ShowRefusal(MessageBoxes& boxes, QWidget* parent, const char* koreanUtf8) {
    boxes.Show(parent, ShellText(koreanUtf8), QString(), BoxIcon::Warning, BoxButtons::Ok);
}

// OK (id 1) and Cancel (id 2) with their texts, wired to the dialog's accept and reject.
inline QDialogButtonBox* MakeOkCancelButtons(QDialog& dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    WithId(buttons->button(QDialogButtonBox::Ok), IDOK)->setText(ShellText("확인(&O)"));
    WithId(buttons->button(QDialogButtonBox::Cancel), IDCANCEL)->setText(ShellText("취소(&C)"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

} // namespace Vuxo
