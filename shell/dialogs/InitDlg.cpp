#include "shell/dialogs/InitDlg.h"

#include "shell/dialogs/DialogButtons.h"
#include "shell/dialogs/DialogIds.h"

#include <QComboBox>
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

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(
        MakeButtonRow(*this, {{IDOK, QStringLiteral("OK")}, {IDCANCEL, QStringLiteral("Cancel")}}));
}

void CInitDlg::accept() {
    const int index = m_list->currentIndex();
    if (index >= 0 && index < static_cast<int>(m_languages.size())) {
        m_chosenFileName = m_languages[static_cast<size_t>(index)].fileName;
    }
    QDialog::accept();
}

} // namespace Vuxo
