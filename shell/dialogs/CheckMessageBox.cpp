#include "shell/dialogs/CheckMessageBox.h"

#include "shell/dialogs/DialogIds.h"
#include "shell/platform/ModalRunner.h"
#include "shell/platform/ShellText.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Vuxo {

CCheckMessageBox::CCheckMessageBox(const QString& text, const QString& checkText, const QString& caption,
                                   QWidget* parent)
    : QDialog(parent), m_check(new QCheckBox(checkText, this)), m_result(IDNO) {
    setObjectName(QStringLiteral("CCheckMessageBox"));
    setWindowTitle(caption);
    auto* label = new QLabel(text, this);
    label->setObjectName(ControlName(kTextId));
    label->setWordWrap(true);
    m_check->setObjectName(ControlName(kCheckId));

    auto* yes = new QPushButton(ShellText("예"), this);
    yes->setObjectName(ControlName(IDOK));
    yes->setDefault(true);
    auto* no = new QPushButton(ShellText("아니오"), this);
    no->setObjectName(ControlName(IDCANCEL));
    connect(yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(no, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yes);
    buttons->addWidget(no);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_check);
    layout->addLayout(buttons);
}

void CCheckMessageBox::accept() {
    Close(IDYES);
}

void CCheckMessageBox::reject() {
    Close(IDNO);
}

void CCheckMessageBox::Close(int result) {
    m_checked = m_check->isChecked();
    m_result = result;
    done(result == IDYES ? Accepted : Rejected);
}

int ShowCheckMessageBox(ModalRunner& runner, QWidget* parent, const QString& text, const QString& checkText,
                        const QString& caption, bool& checked) {
    CCheckMessageBox box(text, checkText, caption, parent);
    runner.Run(box);
    checked = box.IsChecked();
    return box.GetResult();
}

} // namespace Vuxo
