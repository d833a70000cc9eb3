#include "shell/prefs/CSettingDlg_General.h"

#include "core/log/Trace.h"
#include "service/config/QuilloConfig.h"
#include "shell/prefs/CWizard.h"
#include "shell/prefs/PageControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace Vuxo {

CSettingDlg_General::CSettingDlg_General(OptionEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment) {
    auto* layout = new QVBoxLayout(this);
    m_versionCheck = WithId(
        new QCheckBox(QString::fromUtf8("프로그램이 시작할 때마다 새 버전이 업데이트되었는지 확인"), this),
        1010);
    m_bootOnTray = WithId(new QCheckBox(QString::fromUtf8("트레이 상태로 프로그램을 시작함"), this), 1002);
    m_autostart = WithId(new QCheckBox(QString::fromUtf8("로그인할 때 자동으로 실행"), this), 1035);
    auto* wizard = WithId(new QPushButton(QString::fromUtf8("설정 마법사 시작..."), this), 1064);
    layout->addWidget(m_versionCheck);
    layout->addWidget(m_bootOnTray);
    layout->addWidget(m_autostart);
    layout->addStretch(1);
    layout->addWidget(wizard, 0, Qt::AlignRight);
    connect(wizard, &QPushButton::clicked, this, &CSettingDlg_General::RunWizard);

    const QuilloConfig& config = m_environment.config;
    m_bootOnTray->setChecked(config.bootOnTray.load());
    m_versionCheck->setChecked(config.useVersionCheck.load());
    m_autostart->setChecked(m_environment.platform.autostart.IsRegisteredFor(m_environment.programPath));
}

void CSettingDlg_General::Apply() {
    QuilloConfig& config = m_environment.config;
    config.bootOnTray = m_bootOnTray->isChecked();
    config.useVersionCheck = m_versionCheck->isChecked();
    AutostartEntry& autostart = m_environment.platform.autostart;
    const bool done =
        m_autostart->isChecked() ? autostart.Register(m_environment.programPath) : autostart.Unregister();
    if (!done) {
        // Nothing else depends on the entry; the user learns of it in the log.
        Trace(LOG_WARNING, "%s", Tr("로그인할 때 자동으로 실행하는 설정을 바꾸지 못했습니다."));
    }
}

void CSettingDlg_General::RunWizard() {
    QWidget* active = QApplication::activeWindow();
    CWizard wizard(active != nullptr ? active : window());
    m_environment.platform.runner.Run(wizard);
}

} // namespace Vuxo
