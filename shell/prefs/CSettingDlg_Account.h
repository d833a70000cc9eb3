// CSettingDlg_Account: the Accounts page of the preferences: the program's own accounts with their
// passwords, added, changed and deleted in the page's list; ".anonymous" can be neither changed nor
// deleted. OK hands the whole list to the account store in one step (AccountStore::SetAccounts), which
// keeps the rights of the accounts that stay. Made by COptionPage inside the preferences dialog, which owns
// it; GUI thread only.
#pragma once

#include "shell/prefs/OptionEnvironment.h"

#include <QWidget>

class QPushButton;
class QTreeWidget;

namespace Vuxo {

class CSettingDlg_Account final : public QWidget {
    Q_OBJECT
public:
    CSettingDlg_Account(OptionEnvironment& environment, QWidget* parent);

    void Apply();

private:
    bool SelectedIsEditable() const;
    void UpdateButtons();
    void OnAdd();
    void OnModify();
    void OnDelete();
    // -1 when no row's name equals `name` ignoring case.
    int FindRow(const QString& name) const;

    OptionEnvironment& m_environment;
    QTreeWidget* m_accounts = nullptr;
    QPushButton* m_modify = nullptr;
    QPushButton* m_delete = nullptr;
};

} // namespace Vuxo
