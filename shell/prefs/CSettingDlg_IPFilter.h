// CSettingDlg_IPFilter: the IP-filter page of the preferences: the ordered allow/ban rules, applied from
// the top, with add, edit, delete, up and down. Every change lives in the page's list until OK applies it
// to the server's IP filter in one step. Made by COptionPage inside the preferences dialog, which owns it;
// GUI thread only.
#pragma once

#include "shell/prefs/OptionEnvironment.h"

#include <QWidget>

class QPushButton;
class QTreeWidget;

namespace Vuxo {

class CSettingDlg_IPFilter final : public QWidget {
    Q_OBJECT
public:
    CSettingDlg_IPFilter(OptionEnvironment& environment, QWidget* parent);

    bool Validate();
    // Selects the first rule that is no valid pattern, then says so.
    void Refuse();
    void Apply();

private:
    int FirstInvalidRow() const;
    int SelectedRow() const;
    void SelectRow(int row);
    void SetRow(int row, const QString& pattern, bool allow);
    void UpdateButtons();
    void OnAdd();
    void OnEdit();
    void OnDelete();
    void MoveSelected(int offset);

    OptionEnvironment& m_environment;
    QTreeWidget* m_rules = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
};

} // namespace Vuxo
