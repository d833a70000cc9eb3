#include "shell/dialogs/UrlMessageBox.h"

#include "shell/dialogs/DialogIds.h"
#include "shell/dialogs/LinkLabel.h"
#include "shell/platform/ModalRunner.h"
#include "shell/platform/ShellText.h"

#include <QHBoxLayout>
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
    label->setWordWrap(true);
    QLabel* link = MakeLinkLabel(opener, linkText, linkAddress, this);
    link->setObjectName(ControlName(kLinkId));

    auto* yes = new QPushButton(ShellText("예"), this);
    yes->setObjectName(ControlName(IDOK));
    yes->setVisible(false);
    auto* ok = new QPushButton(ShellText("확인"), this);
    ok->setObjectName(ControlName(IDCANCEL));
    ok->setDefault(true);
    connect(yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(ok, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yes);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(link);
    layout->addLayout(buttons);
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
