#include "shell/prefs/CWizard.h"

#include "shell/prefs/CWizardPages.h"
#include "shell/prefs/PageControls.h"

namespace Vuxo {

CWizard::CWizard(QWidget* parent) : QWizard(parent) {
    setObjectName(QStringLiteral("CWizard"));
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    setButtonText(QWizard::BackButton, ShellText("< 뒤로(&B)"));
    setButtonText(QWizard::NextButton, ShellText("다음(&N) >"));
    setButtonText(QWizard::FinishButton, ShellText("마침"));
    setButtonText(QWizard::CancelButton, ShellText("취소"));
    setPage(kIntroPage, new CWizardPage_Intro(this));
    setPage(kNetworkPage, new CWizardPage_Step2(this));
    setPage(kOutroPage, new CWizardPage_Outro(this));
}

} // namespace Vuxo
