#include "shell/prefs/CWizardPages.h"

#include "shell/prefs/PageControls.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace Vuxo {

namespace {

constexpr const char* kContinueText = "계속하시려면 다음을 눌러주세요.";

QLabel* AddText(QWizardPage* page, QVBoxLayout* layout, const char* text) {
    auto* label = new QLabel(ShellText(text), page);
    label->setWordWrap(true);
    layout->addWidget(label);
    return label;
}

} // namespace

CWizardPage_Intro::CWizardPage_Intro(QWidget* parent) : QWizardPage(parent) {
    setTitle(ShellText("Quillo Corvanta 설정 마법사 (1/5)"));
    auto* layout = new QVBoxLayout(this);
    AddText(this, layout,
            "이 마법사에서는 다음 설정 항목을 사용 환경 및 용도에 맞게 자동으로 결정합니다.\n\n\n· 포트 "
            "번호\n\n· "
            "표시할 IP주소\n\n· 기본 권한");
    layout->addStretch(1);
    AddText(this, layout, kContinueText);
}

CWizardPage_Step2::CWizardPage_Step2(QWidget* parent) : QWizardPage(parent) {
    setTitle(ShellText("Quillo Corvanta 설정 마법사 (2/5)"));
    auto* layout = new QVBoxLayout(this);
    AddText(this, layout, "어떤 유형의 네트워크를 대상으로 서버를 구성할지 선택합니다.");
    m_internet =
        WithId(new QRadioButton(ShellText("인터넷 (권장) - 보통 이 항목을 선택합니다."), this), 1066);
    m_intranet = WithId(new QRadioButton(ShellText("인트라넷 - 회사나 군대 등, 내부 네트워크만을 대상으로 "
                                                   "서비스할 경우에 이 항목을 선택합니다."),
                                         this),
                        1067);
    // Neither is checked at first, so the radios are kept exclusive by a group of their own.
    auto* group = new QButtonGroup(this);
    group->addButton(m_internet);
    group->addButton(m_intranet);
    layout->addWidget(m_internet);
    layout->addWidget(m_intranet);
    layout->addStretch(1);
    AddText(this, layout, kContinueText);
    connect(group, &QButtonGroup::buttonClicked, this, &QWizardPage::completeChanged);
}

bool CWizardPage_Step2::isComplete() const {
    return m_internet->isChecked() || m_intranet->isChecked();
}

CWizardPage_Outro::CWizardPage_Outro(QWidget* parent) : QWizardPage(parent) {
    setTitle(ShellText("마법사"));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    AddText(this, layout, kContinueText);
}

} // namespace Vuxo
