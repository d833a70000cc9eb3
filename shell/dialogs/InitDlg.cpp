#include "shell/dialogs/InitDlg.h"

#include "shell/dialogs/DialogIds.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace Vuxo {

CInitDlg::CInitDlg(std::vector<LanguageInfo> languages, QWidget* parent)
    : QDialog(parent), m_languages(std::move(languages)), m_list(new QComboBox(this)) {
    setObjectName(QStringLiteral("CInitDlg"));
    setWindowTitle(QStringLiteral("Quillo Corvanta"));
    m_list->setObjectName(ControlName(kLanguageListId));
    for (const LanguageInfo& language : m_languages) {
        m_list->addItem(QString::fromStdU16String(language.displayText));
    }
    m_list->setCurrentIndex(m_languages.empty() ? -1 : 0);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(ControlName(IDOK));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(ControlName(IDCANCEL));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
}

void CInitDlg::accept() {
    const int index = m_list->currentIndex();
    if (index >= 0 && index < static_cast<int>(m_languages.size())) {
        m_chosenFileName = m_languages[static_cast<size_t>(index)].fileName;
    }
    QDialog::accept();
}

} // namespace Vuxo
