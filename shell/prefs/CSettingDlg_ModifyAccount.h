// CSettingDlg_ModifyAccount: the modal dialog that edits one account's name and password (the name only
// for a new account). OK is refused, and the dialog stays open, while either is empty or holds anything
// but digits and letters that have a case. Made on the stack by the account page and run through the
// shell's dialog runner; GUI thread only.
#pragma once

#include "shell/platform/MessageBoxes.h"

#include <QDialog>
#include <QString>

class QLineEdit;

namespace Vuxo {

// True when every character is a decimal digit or a letter with an upper- or lower-case form (so no
// blank, punctuation mark or caseless letter such as Hangul).
bool IsAccountText(const QString& text);

class CSettingDlg_ModifyAccount final : public QDialog {
    Q_OBJECT
public:
    // `existing`: the name of an existing account, which cannot be changed here.
    CSettingDlg_ModifyAccount(MessageBoxes& boxes, const QString& name, const QString& password,
                              bool existing, QWidget* parent);

    QString GetName() const;
    QString GetPassword() const;

    void accept() override;

private:
    MessageBoxes& m_boxes;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_password = nullptr;
};

} // namespace Vuxo
