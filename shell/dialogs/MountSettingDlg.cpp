#include "shell/dialogs/MountSettingDlg.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "service/accounts/AccountStore.h"
#include "service/mounts/MountManager.h"
#include "shell/dialogs/AuthorityDlg.h"
#include "shell/dialogs/DialogButtons.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/platform/ModalRunner.h"
#include "shell/platform/ShellText.h"
#include "shell/views/MountView.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Vuxo {

namespace {

constexpr int kAccountColumn = 0;
constexpr int kActionsColumn = 1;
constexpr int kRightCount = 4;

QTableWidgetItem* ReadOnlyItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

CMountSettingDlg::CMountSettingDlg(Environment environment, std::vector<std::string> shareNames,
                                   QWidget* parent)
    : QDialog(parent), m_env(environment), m_shareNames(std::move(shareNames)), m_alias(new QLineEdit(this)),
      m_list(new QTableWidget(0, 2, this)) {
    setObjectName(QStringLiteral("CMountSettingDlg"));
    setWindowTitle(ShellText("공유 항목 변경"));

    QStringList names;
    for (const std::string& name : m_shareNames) {
        names << QString::fromStdString(name);
    }
    m_alias->setObjectName(ControlName(kAliasId));
    m_alias->setMaxLength(kAliasLimit);
    m_alias->setText(names.join(QStringLiteral(", ")));
    if (m_shareNames.size() == 1) {
        m_oldName = names.front();
    } else {
        m_alias->setEnabled(false);
    }
    auto* aliasGroup = new QGroupBox(ShellText("별칭"), this);
    auto* aliasLayout = new QVBoxLayout(aliasGroup);
    aliasLayout->addWidget(m_alias);

    m_list->setObjectName(ControlName(kRightsListId));
    m_list->setHorizontalHeaderLabels({ShellText("사용자 "), ShellText("허용된 행동")});
    m_list->setColumnWidth(kAccountColumn, 100);
    m_list->setColumnWidth(kActionsColumn, 295);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->verticalHeader()->hide();
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_list, &QTableWidget::itemDoubleClicked, this, [this] { EditSelectedRow(); });
    ReadRows();

    auto* rightsGroup = new QGroupBox(ShellText("사용 권한"), this);
    auto* rightsLayout = new QVBoxLayout(rightsGroup);
    auto* hint =
        new QLabel(ShellText("항목을 더블클릭하여 세부 권한을 지정할 수 있습니다.\n사용자 계정 목록은 "
                             "환경설정의 '계정' 항목에서 편집할 수 있습니다."),
                   rightsGroup);
    hint->setWordWrap(true);
    rightsLayout->addWidget(hint);
    rightsLayout->addWidget(m_list);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(aliasGroup);
    layout->addWidget(rightsGroup, 1);
    layout->addLayout(
        MakeButtonRow(*this, {{IDOK, ShellText("확인(&O)")}, {IDCANCEL, ShellText("취소(&C)")}}));
    resize(460, 400);
}

void CMountSettingDlg::ReadRows() {
    std::vector<std::string> accounts;
    m_env.accounts.ListUserNames(accounts);
    for (const std::string& account : accounts) {
        PermissionRow row;
        row.account = account;
        for (size_t k = 0; k < m_shareNames.size(); ++k) {
            AuthoritySet rights;
            if (!m_env.accounts.GetAuthority(account, m_shareNames[k], rights)) {
                Trace(LOG_ALERT, "%s", Tr("데이터 무결성 깨짐 - AccessList를 읽어올 수 없음"));
                // Unknown rights are never copied to the other shares.
                row.mixed = true;
            } else if (k == 0) {
                row.rights = rights;
            } else if (!(rights == row.rights)) {
                row.mixed = true;
            }
        }
        row.wasMixed = row.mixed;
        row.readRights = row.rights;
        const int index = m_list->rowCount();
        m_list->insertRow(index);
        m_list->setItem(index, kAccountColumn, ReadOnlyItem(QString::fromStdString(account)));
        m_list->setItem(index, kActionsColumn, ReadOnlyItem(FormatAllowedActions(row)));
        m_rows.push_back(std::move(row));
    }
    for (const std::string& name : m_shareNames) {
        Mount mount;
        if (m_env.mounts.GetMount(name, mount) && mount.isDirectory) {
            m_anyFolder = true;
            break;
        }
    }
}

QString CMountSettingDlg::FormatAllowedActions(const PermissionRow& row) {
    if (row.mixed) {
        return QStringLiteral("?");
    }
    QStringList names;
    for (int i = 0; i < kRightCount; ++i) {
        if (row.rights.Has(1u << i)) {
            names << QString::fromStdString(GetAuthorityName(i));
        }
    }
    return names.join(QStringLiteral(", "));
}

void CMountSettingDlg::EditSelectedRow() {
    const QList<QTableWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const int index = selected.front()->row();
    PermissionRow& row = m_rows[static_cast<size_t>(index)];
    CAuthorityDlg dialog(row.account, m_shareNames, m_anyFolder, row.rights, m_env.boxes, this);
    if (m_env.runner.Run(dialog) != QDialog::Accepted) {
        return;
    }
    row.mixed = false;
    row.rights = dialog.GetRights();
    m_list->item(index, kActionsColumn)->setText(FormatAllowedActions(row));
}

void CMountSettingDlg::accept() {
    StoreChangedRows();
    RenameSingleShare();
    QDialog::accept();
}

void CMountSettingDlg::StoreChangedRows() {
    // Mixed rows keep each share's rights; unchanged rows are already stored as they show.
    std::vector<AuthorityChange> changes;
    for (const PermissionRow& row : m_rows) {
        if (row.mixed || (!row.wasMixed && row.rights == row.readRights)) {
            continue;
        }
        for (const std::string& share : m_shareNames) {
            changes.push_back(AuthorityChange{row.account, share, row.rights});
        }
    }
    if (changes.empty()) {
        return;
    }
    for (const bool stored : m_env.accounts.SetAuthorities(changes)) {
        if (!stored) {
            Trace(LOG_ALERT, "%s", Tr("데이터 무결성 깨짐 - AccessList에 쓸 수 없음"));
        }
    }
}

void CMountSettingDlg::RenameSingleShare() {
    if (m_shareNames.size() != 1) {
        return;
    }
    const QString alias = m_alias->text().left(kAliasLimit);
    if (alias != m_oldName) {
        m_env.shares.UpdateMount(m_oldName, alias);
    }
}

} // namespace Vuxo
