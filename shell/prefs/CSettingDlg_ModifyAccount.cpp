#include "shell/prefs/CSettingDlg_ModifyAccount.h"

#include "shell/prefs/PageControls.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace Vuxo {

bool IsAccountText(const QString& text) {
    for (const char32_t code : text.toUcs4()) {
        const bool digit = code >= U'0' && code <= U'9';
        if (!digit && !QChar::isUpper(code) && !QChar::isLower(code)) {
            return false;
        }
    }
    return true;
}

CSettingDlg_ModifyAccount::CSettingDlg_ModifyAccount(MessageBoxes& boxes, const QString& name,
                                                     const QString& password, bool existing, QWidget* parent)
    : QDialog(parent), m_boxes(boxes) {
    setObjectName(QStringLiteral("CSettingDlg_ModifyAccount"));
    setWindowTitle(ShellText("계정"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    m_name = WithId(new QLineEdit(name, this), 1055);
    m_name->setReadOnly(existing);
    m_password = WithId(new QLineEdit(password, this), 1057);
    form->addRow(ShellText("ID :"), m_name);
    form->addRow(ShellText("Password :"), m_password);
    layout->addLayout(form);

    layout->addWidget(MakeOkCancelButtons(*this));
}

QString CSettingDlg_ModifyAccount::GetName() const {
    return m_name->text();
}

QString CSettingDlg_ModifyAccount::GetPassword() const {
    return m_password->text();
}

void CSettingDlg_ModifyAccount::accept() {
    if (m_name->text().isEmpty() || m_password->text().isEmpty()) {
        ShowRefusal(m_boxes, this, "계정 설정에 필요한 항목을 적어주십시오!");
        return;
    }
    // An existing name is not checked: it cannot be changed here, and its password must stay editable.
    if ((!m_name->isReadOnly() && !IsAccountText(m_name->text())) || !IsAccountText(m_password->text())) {
        ShowRefusal(m_boxes, this, "영어 또는 숫자만 가능합니다!");
        return;
    }
    QDialog::accept();
}

} // namespace Vuxo
