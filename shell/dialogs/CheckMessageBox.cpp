#include "shell/dialogs/CheckMessageBox.h"

#include "shell/dialogs/DialogButtons.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/platform/ModalRunner.h"
#include "shell/platform/ShellText.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace Vuxo {

CCheckMessageBox::CCheckMessageBox(const QString& text, const QString& checkText, const QString& caption,
                                   QWidget* parent)
    : QDialog(parent), m_check(new QCheckBox(checkText, this)), m_result(IDNO) {
    setObjectName(QStringLiteral("CCheckMessageBox"));
    setWindowTitle(caption);
    auto* label = new QLabel(text, this);
    label->setObjectName(ControlName(kTextId));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    m_check->setObjectName(ControlName(kCheckId));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_check);
    layout->addLayout(MakeButtonRow(*this, {{IDOK, ShellText("예")}, {IDCANCEL, ShellText("아니오")}}));
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
