#include "shell/dialogs/UrlMessageBox.h"

#include "shell/dialogs/DialogButtons.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/dialogs/LinkLabel.h"
#include "shell/platform/ModalRunner.h"
#include "shell/platform/ShellText.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Vuxo {

CUrlMessageBox::CUrlMessageBox(UrlOpener& opener, const QString& text, const QString& linkText,
                               const QString& linkAddress, const QString& caption, QWidget* parent)
    : QDialog(parent), m_result(IDNO) {
    setObjectName(QStringLiteral("CUrlMessageBox"));
    setWindowTitle(caption);
    auto* label = new QLabel(text, this);
    label->setObjectName(ControlName(kTextId));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QLabel* link = MakeLinkLabel(opener, linkText, linkAddress, this);
    link->setObjectName(ControlName(kLinkId));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(link);
    // The "예" of the template stays hidden: the box shows one button, which answers No.
    layout->addLayout(MakeButtonRow(*this, {{IDCANCEL, ShellText("확인")}, {IDOK, ShellText("예")}}));
    findChild<QPushButton*>(ControlName(IDOK))->setVisible(false);
}

void CUrlMessageBox::accept() {
    m_result = IDYES;
    done(Accepted);
}

void CUrlMessageBox::reject() {
    m_result = IDNO;
    done(Rejected);
}

int ShowUrlMessageBox(ModalRunner& runner, UrlOpener& opener, QWidget* parent, const QString& text,
                      const QString& linkText, const QString& linkAddress, const QString& caption) {
    CUrlMessageBox box(opener, text, linkText, linkAddress, caption, parent);
    runner.Run(box);
    return box.GetResult();
}

} // namespace Vuxo
