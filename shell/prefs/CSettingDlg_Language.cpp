#include "shell/prefs/CSettingDlg_Language.h"

#include "service/config/QuilloConfig.h"
#include "service/language/LanguageFiles.h"
#include "shell/prefs/PageControls.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace Vuxo {

CSettingDlg_Language::CSettingDlg_Language(OptionEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment) {
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QString::fromUtf8("GUI 언어 설정"), this);
    auto* groupLayout = new QVBoxLayout(group);
    auto* label = new QLabel(QString::fromUtf8("Corvanta 프로그램에서 사용할 언어를 선택합니다."), group);
    label->setWordWrap(true);
    m_languages = WithId(new QComboBox(group), 1017);
    groupLayout->addWidget(label);
    groupLayout->addWidget(m_languages);
    layout->addWidget(group);
    layout->addStretch(1);

    const std::string current = m_environment.config.uiLanguageFile.Get();
    int selected = 0;
    for (const LanguageInfo& language : ListLanguages(m_environment.programFolder)) {
        m_languages->addItem(QString::fromStdU16String(language.displayText),
                             QString::fromStdString(language.fileName));
        if (language.fileName == current) {
            selected = m_languages->count() - 1;
        }
    }
    m_languages->setCurrentIndex(m_languages->count() > 0 ? selected : -1);
}

void CSettingDlg_Language::Apply() {
    if (m_languages->currentIndex() < 0) {
        return;
    }
    // The entry's own file name: the folder may have changed since the list was read.
    const std::string fileName = m_languages->currentData().toString().toStdString();
    if (fileName != m_environment.config.uiLanguageFile.Get()) {
        m_environment.config.uiLanguageFile.Set(fileName);
    }
}

} // namespace Vuxo
