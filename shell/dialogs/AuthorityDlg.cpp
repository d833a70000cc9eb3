#include "shell/dialogs/AuthorityDlg.h"

#include "shell/dialogs/DialogButtons.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/platform/MessageBoxes.h"
#include "shell/platform/ShellText.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Vuxo {

namespace {

constexpr int kRightCount = 4;
constexpr int kRightRole = Qt::UserRole;

QString JoinNames(const std::vector<std::string>& names) {
    QStringList parts;
    for (const std::string& name : names) {
        parts << QString::fromStdString(name);
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

CAuthorityDlg::CAuthorityDlg(const std::string& account, const std::vector<std::string>& shares,
                             bool anyFolder, AuthoritySet rights, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), m_list(new QTableWidget(0, 1, this)), m_boxes(boxes), m_anyFolder(anyFolder),
      m_rights(rights) {
    setObjectName(QStringLiteral("CAuthorityDlg"));
    setWindowTitle(ShellText("사용 권한 편집"));

    auto* text = new QLabel(QString::fromStdString(account) + ShellText(" 사용자가 ") + JoinNames(shares) +
                                ShellText(" 공유 항목에 대해 어떤 행동을 할 수 있는지 결정합니다."),
                            this);
    text->setObjectName(ControlName(kTextId));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);

    m_list->setObjectName(ControlName(kCheckListId));
    m_list->setHorizontalHeaderLabels({ShellText("허용된 행동")});
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->verticalHeader()->hide();
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int i = 0; i < kRightCount; ++i) {
        const uint32_t bit = 1u << i;
        // A file share is always listed and never takes uploads: those two are not the user's to choose.
        if (!anyFolder && (bit == AuthoritySet::kList || bit == AuthoritySet::kUpload)) {
            continue;
        }
        auto* item = new QTableWidgetItem(QString::fromStdString(GetAuthorityName(i)));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(rights.Has(bit) ? Qt::Checked : Qt::Unchecked);
        item->setData(kRightRole, i);
        const int row = m_list->rowCount();
        m_list->insertRow(row);
        m_list->setItem(row, 0, item);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_list);
    layout->addLayout(MakeButtonRow(*this, {{IDOK, ShellText("확인")}, {IDCANCEL, ShellText("취소")}}));
    resize(360, 260);
}

void CAuthorityDlg::accept() {
    AuthoritySet chosen;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const QTableWidgetItem* item = m_list->item(row, 0);
        if (item->checkState() == Qt::Checked) {
            chosen.Set(1u << item->data(kRightRole).toInt(), true);
        }
    }
    if (chosen.CanManage() &&
        m_boxes.Show(
            this,
            ShellText("관리 권한을 가진 사용자는 웹에서 파일을 삭제하거나 폴더를 지울 수 있습니다.\n\n"
                      "정말 관리 권한을 주시겠습니까?"),
            ShellText("Quillo Corvanta"), BoxIcon::None, BoxButtons::YesNo) != BoxAnswer::Yes) {
        return;
    }
    if (!m_anyFolder) {
        chosen.Set(AuthoritySet::kList, true);
        chosen.Set(AuthoritySet::kUpload, false);
    }
    m_rights = chosen;
    QDialog::accept();
}

} // namespace Vuxo
