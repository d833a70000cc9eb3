#include "shell/dialogs/DialogButtons.h"

#include "shell/dialogs/DialogIds.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace Vuxo {

QHBoxLayout* MakeButtonRow(QDialog& dialog, std::initializer_list<DialogButton> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    bool first = true;
    for (const DialogButton& entry : buttons) {
        auto* button = new QPushButton(entry.text, &dialog);
        button->setObjectName(ControlName(entry.id));
        button->setDefault(first);
        first = false;
        if (entry.id == IDOK) {
            QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
        } else if (entry.id == IDCANCEL) {
            QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::reject);
        }
        row->addWidget(button);
    }
    return row;
}

} // namespace Vuxo
