#include "shell/prefs/CSettingDlg_Account.h"

#include "service/accounts/AccountStore.h"
#include "service/server/QuilloServer.h"
#include "shell/prefs/CSettingDlg_ModifyAccount.h"
#include "shell/prefs/PageControls.h"
#include "shell/prefs/ReportList.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Vuxo {

CSettingDlg_Account::CSettingDlg_Account(OptionEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment) {
    auto* layout = new QHBoxLayout(this);
    m_accounts = WithId(MakeReportList(this, {{"ID", 100}, {"PASSWORD", 150}}), 1050);
    layout->addWidget(m_accounts, 1);
    auto* side = new QVBoxLayout();
    auto* add = WithId(new QPushButton(QString::fromUtf8("추가(&A)"), this), 1054);
    m_modify = WithId(new QPushButton(QString::fromUtf8("수정(&M)"), this), 1055);
    m_delete = WithId(new QPushButton(QString::fromUtf8("삭제(&R)"), this), 1056);
    side->addWidget(add);
    side->addWidget(m_modify);
    side->addWidget(m_delete);
    side->addStretch(1);
    layout->addLayout(side);
    connect(add, &QPushButton::clicked, this, &CSettingDlg_Account::OnAdd);
    connect(m_modify, &QPushButton::clicked, this, &CSettingDlg_Account::OnModify);
    connect(m_delete, &QPushButton::clicked, this, &CSettingDlg_Account::OnDelete);
    connect(m_accounts, &QTreeWidget::itemSelectionChanged, this, &CSettingDlg_Account::UpdateButtons);
    // As on the IP rules: a double-click is Modify (and says why when the account cannot be modified).
    connect(m_accounts, &QTreeWidget::itemDoubleClicked, this, &CSettingDlg_Account::OnModify);

    const AccountStore& store = m_environment.server.GetAccountStore();
    std::vector<std::string> names;
    store.ListUserNames(names);
    for (const std::string& name : names) {
        std::string password;
        const bool known = store.GetPassword(name, password);
        new QTreeWidgetItem(m_accounts, {QString::fromStdString(name),
                                         known ? QString::fromStdString(password) : QStringLiteral("?")});
    }
    m_accounts->setSortingEnabled(true);
    m_accounts->sortByColumn(0, Qt::AscendingOrder);
    UpdateButtons();
}

bool CSettingDlg_Account::SelectedIsEditable() const {
    const int row = SelectedListRow(*m_accounts);
    return row >= 0 && m_accounts->topLevelItem(row)->text(0) != QString::fromUtf8(AnonymousLoginId());
}

void CSettingDlg_Account::UpdateButtons() {
    const bool editable = SelectedIsEditable();
    m_modify->setEnabled(editable);
    m_delete->setEnabled(editable);
}

int CSettingDlg_Account::FindRow(const QString& name) const {
    for (int row = 0; row < m_accounts->topLevelItemCount(); ++row) {
        if (m_accounts->topLevelItem(row)->text(0).compare(name, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return -1;
}

void CSettingDlg_Account::OnAdd() {
    CSettingDlg_ModifyAccount dialog(m_environment.platform.boxes, QString(), QString(), false, this);
    if (m_environment.platform.runner.Run(dialog) != QDialog::Accepted) {
        return;
    }
    // Names that differ only in case would be told apart by the server but not by the user.
    if (FindRow(dialog.GetName()) >= 0) {
        ShowRefusal(m_environment.platform.boxes, this, "같은 이름의 계정이 이미 존재합니다!");
        return;
    }
    new QTreeWidgetItem(m_accounts, {dialog.GetName(), dialog.GetPassword()});
    UpdateButtons();
}

void CSettingDlg_Account::OnModify() {
    const int row = SelectedListRow(*m_accounts);
    if (row < 0) {
        ShowRefusal(m_environment.platform.boxes, this, "수정하실 항목을 선택해 주십시오!");
        return;
    }
    if (!SelectedIsEditable()) {
        ShowRefusal(m_environment.platform.boxes, this, "수정이 불가능한 항목입니다!");
        return;
    }
    QTreeWidgetItem* item = m_accounts->topLevelItem(row);
    CSettingDlg_ModifyAccount dialog(m_environment.platform.boxes, item->text(0), item->text(1), true, this);
    if (m_environment.platform.runner.Run(dialog) == QDialog::Accepted) {
        item->setText(1, dialog.GetPassword());
    }
}

void CSettingDlg_Account::OnDelete() {
    const int row = SelectedListRow(*m_accounts);
    if (row < 0) {
        ShowRefusal(m_environment.platform.boxes, this, "삭제하실 항목을 선택해 주십시오!");
        return;
    }
    if (!SelectedIsEditable()) {
        ShowRefusal(m_environment.platform.boxes, this, "삭제가 불가능한 항목입니다!");
        return;
    }
    if (m_environment.platform.boxes.Show(this, ShellText("선택하신 계정을 삭제하시겠습니까?"),
                                          ShellText("계정 삭제 확인"), BoxIcon::Question,
                                          BoxButtons::YesNo) != BoxAnswer::Yes) {
        return;
    }
    delete m_accounts->takeTopLevelItem(row);
    SelectListRow(*m_accounts, row < m_accounts->topLevelItemCount() ? row : -1);
    UpdateButtons();
}

void CSettingDlg_Account::Apply() {
    std::vector<std::pair<std::string, std::string>> accounts;
    for (int row = 0; row < m_accounts->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = m_accounts->topLevelItem(row);
        accounts.emplace_back(item->text(0).toStdString(), item->text(1).toStdString());
    }
    m_environment.server.GetAccountStore().SetAccounts(accounts);
}

} // namespace Vuxo
