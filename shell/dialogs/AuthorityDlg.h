// CAuthorityDlg: the rights one account has on the selected shares, as a check list of the actions
// (list, download, upload, manage). With only file shares selected it offers download and manage, and the
// rights it hands out are what the store keeps for a file share (list always, upload never). Granting the
// manage right asks first; No keeps the dialog open. Changes nothing but its own result: the share-settings
// dialog takes the rights on OK. Made on that dialog's stack for one modal run; GUI thread only.
#pragma once

#include "service/accounts/AuthoritySet.h"

#include <QDialog>

#include <string>
#include <vector>

class QTableWidget;

namespace Vuxo {

class MessageBoxes;

class CAuthorityDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTextId = 1048;
    static constexpr int kCheckListId = 1051;

    CAuthorityDlg(const std::string& account, const std::vector<std::string>& shares, bool anyFolder,
                  AuthoritySet rights, MessageBoxes& boxes, QWidget* parent = nullptr);

    // The rights given (in), then the rights chosen (after OK).
    AuthoritySet GetRights() const { return m_rights; }

    void accept() override;

private:
    QTableWidget* m_list;
    MessageBoxes& m_boxes;
    bool m_anyFolder;
    AuthoritySet m_rights;
};

} // namespace Vuxo
