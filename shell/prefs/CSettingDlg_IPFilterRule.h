// CSettingDlg_IPFilterRule: the modal dialog that edits one IP-filter rule (an address pattern and allow or
// ban). OK is refused, and the dialog stays open, while the pattern is not a valid one. Made on the stack
// by the IP-filter page and run through the shell's dialog runner; GUI thread only.
#pragma once

#include "shell/platform/MessageBoxes.h"

#include <QDialog>
#include <QString>

class QLineEdit;
class QRadioButton;

namespace Vuxo {

class CSettingDlg_IPFilterRule final : public QDialog {
    Q_OBJECT
public:
    CSettingDlg_IPFilterRule(MessageBoxes& boxes, const QString& pattern, bool allow, QWidget* parent);

    QString GetPattern() const;
    bool IsAllow() const;

    void accept() override;

private:
    MessageBoxes& m_boxes;
    QLineEdit* m_pattern = nullptr;
    QRadioButton* m_allow = nullptr;
    QRadioButton* m_ban = nullptr;
};

} // namespace Vuxo
