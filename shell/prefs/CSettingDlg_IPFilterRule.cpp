#include "shell/prefs/CSettingDlg_IPFilterRule.h"

#include "service/access/IPFilter.h"
#include "shell/prefs/PageControls.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace Vuxo {

CSettingDlg_IPFilterRule::CSettingDlg_IPFilterRule(MessageBoxes& boxes, const QString& pattern, bool allow,
                                                   QWidget* parent)
    : QDialog(parent), m_boxes(boxes) {
    setObjectName(QStringLiteral("CSettingDlg_IPFilterRule"));
    setWindowTitle(ShellText("IP 필터"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(ShellText("IP 주소 패턴"), this));
    m_pattern = WithId(new QLineEdit(pattern, this), 1028);
    layout->addWidget(m_pattern);

    auto* policy = new QGroupBox(ShellText("접속 허용 정책"), this);
    auto* policyLayout = new QHBoxLayout(policy);
    m_allow = WithId(new QRadioButton(ShellText("허용"), policy), 1029);
    m_ban = WithId(new QRadioButton(ShellText("금지"), policy), 1030);
    policyLayout->addWidget(m_allow);
    policyLayout->addWidget(m_ban);
    (allow ? m_allow : m_ban)->setChecked(true);
    layout->addWidget(policy);

    layout->addWidget(MakeOkCancelButtons(*this));
}

QString CSettingDlg_IPFilterRule::GetPattern() const {
    return m_pattern->text().trimmed();
}

bool CSettingDlg_IPFilterRule::IsAllow() const {
    return m_allow->isChecked();
}

void CSettingDlg_IPFilterRule::accept() {
    if (!ValidateIPPattern(m_pattern->text().toStdString())) {
        ShowRefusal(m_boxes, this, "형식에 맞지 않는 IP 패턴입니다!");
        m_pattern->setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::accept();
}

} // namespace Vuxo
