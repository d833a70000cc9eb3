// CMountSettingDlg: the share-settings dialog of command 32777. It lists every account with the actions it
// may take on the selected shares ("?" when the shares disagree, or when a share's rights could not be
// read), opens the rights dialog on a double-click, and on OK stores the rights of the rows that were
// changed on every selected share (one save) and, with a single share selected, renames it through the
// share list. Cancel changes nothing. Made on the frame's stack for one modal run; the share list, the
// account store, the mount manager, the runner and the boxes are not owned and outlive it. GUI thread only.
#pragma once

#include "service/accounts/AuthoritySet.h"

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

class QLineEdit;
class QTableWidget;

namespace Vuxo {

class AccountStore;
class CMountView;
class MessageBoxes;
class ModalRunner;
class MountManager;

class CMountSettingDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kAliasId = 1016;
    static constexpr int kRightsListId = 1047;
    // The alias edit holds at most this many characters.
    static constexpr int kAliasLimit = 259;

    // The rights of one account on the selected shares.
    struct PermissionRow {
        std::string account;
        // The shares do not all give the same rights (or one could not be read): the row keeps each
        // share's rights unless the user sets them.
        bool mixed = false;
        // The rights on the first selected share, or the ones the user chose.
        AuthoritySet rights;
        // What was read: whether the row started mixed, and its rights then. A row is written on OK only
        // when it differs from that.
        bool wasMixed = false;
        AuthoritySet readRights;
    };

    struct Environment {
        CMountView& shares;
        AccountStore& accounts;
        MountManager& mounts;
        ModalRunner& runner;
        MessageBoxes& boxes;
    };

    // `shareNames`: the selected shares (UTF-8, list order, at least one).
    CMountSettingDlg(Environment environment, std::vector<std::string> shareNames, QWidget* parent = nullptr);

    // Column 1 of a row: "?" when mixed, else the names of its rights in the order L, D, U, A joined by
    // ", " ("" for none).
    static QString FormatAllowedActions(const PermissionRow& row);

    const std::vector<PermissionRow>& GetRows() const { return m_rows; }
    bool IsAnyFolder() const { return m_anyFolder; }

    // The list's double-click: the rights dialog for the selected row; nothing when none is selected.
    void EditSelectedRow();

    void accept() override;

private:
    void ReadRows();
    void StoreChangedRows();
    void RenameSingleShare();

    Environment m_env;
    std::vector<std::string> m_shareNames;
    QString m_oldName; // set when exactly one share is selected
    QLineEdit* m_alias;
    QTableWidget* m_list;
    std::vector<PermissionRow> m_rows;
    bool m_anyFolder = false;
};

} // namespace Vuxo
