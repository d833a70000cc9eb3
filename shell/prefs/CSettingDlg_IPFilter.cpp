#include "shell/prefs/CSettingDlg_IPFilter.h"

#include "service/access/IPFilter.h"
#include "service/server/QuilloServer.h"
#include "shell/prefs/CSettingDlg_IPFilterRule.h"
#include "shell/prefs/PageControls.h"
#include "shell/prefs/ReportList.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Vuxo {

namespace {

// Column 1 keeps the rule's policy as its data; its text is only what the user reads.
constexpr int kAllowRole = Qt::UserRole;

} // namespace

CSettingDlg_IPFilter::CSettingDlg_IPFilter(OptionEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment) {
    auto* layout = new QHBoxLayout(this);
    m_rules = WithId(MakeReportList(this, {{"IP 주소", 150}, {"정책", 80}}), 1021);
    layout->addWidget(m_rules, 1);

    auto* side = new QVBoxLayout();
    const auto button = [this, side](int id, const char* text) {
        auto* made = WithId(new QPushButton(QString::fromUtf8(text), this), id);
        side->addWidget(made);
        return made;
    };
    connect(button(1022, "추가(&A)"), &QPushButton::clicked, this, &CSettingDlg_IPFilter::OnAdd);
    m_edit = button(1023, "수정(&M)");
    m_delete = button(1024, "삭제(&R)");
    m_up = button(1025, "위로(&U)");
    m_down = button(1026, "아래로(&D)");
    connect(m_edit, &QPushButton::clicked, this, &CSettingDlg_IPFilter::OnEdit);
    connect(m_delete, &QPushButton::clicked, this, &CSettingDlg_IPFilter::OnDelete);
    connect(m_up, &QPushButton::clicked, this, [this] { MoveSelected(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { MoveSelected(1); });
    auto* note =
        new QLabel(QString::fromUtf8("이 필터링 규칙들은 위에서부터 적용됩니다.\n어떤 규칙에도 해당되지 "
                                     "않는 IP 주소의 접속은\n기본적으로 허용됩니다. "),
                   this);
    note->setWordWrap(true);
    side->addWidget(note);
    side->addStretch(1);
    layout->addLayout(side);

    std::vector<IPFilterRule> rules;
    m_environment.server.GetIPFilter().GetIPFilterRules(rules);
    for (const IPFilterRule& rule : rules) {
        auto* item = new QTreeWidgetItem(m_rules);
        SetRow(m_rules->indexOfTopLevelItem(item), QString::fromStdString(rule.pattern), rule.allow);
    }
    connect(m_rules, &QTreeWidget::itemSelectionChanged, this, &CSettingDlg_IPFilter::UpdateButtons);
    connect(m_rules, &QTreeWidget::itemDoubleClicked, this, &CSettingDlg_IPFilter::OnEdit);
    UpdateButtons();
}

int CSettingDlg_IPFilter::SelectedRow() const {
    return SelectedListRow(*m_rules);
}

void CSettingDlg_IPFilter::SelectRow(int row) {
    SelectListRow(*m_rules, row);
}

void CSettingDlg_IPFilter::SetRow(int row, const QString& pattern, bool allow) {
    QTreeWidgetItem* item = m_rules->topLevelItem(row);
    item->setText(0, pattern);
    item->setText(1, ShellText(allow ? "허용" : "금지"));
    item->setData(1, kAllowRole, allow);
}

void CSettingDlg_IPFilter::UpdateButtons() {
    const int selected = SelectedRow();
    const int count = m_rules->topLevelItemCount();
    m_edit->setEnabled(selected >= 0);
    m_delete->setEnabled(selected >= 0);
    m_up->setEnabled(selected >= 1);
    m_down->setEnabled(selected >= 0 && selected < count - 1);
}

void CSettingDlg_IPFilter::OnAdd() {
    CSettingDlg_IPFilterRule dialog(m_environment.platform.boxes, QString(), true, this);
    if (m_environment.platform.runner.Run(dialog) != QDialog::Accepted) {
        return;
    }
    // A new rule goes to the end: rules apply from the top.
    new QTreeWidgetItem(m_rules);
    SetRow(m_rules->topLevelItemCount() - 1, dialog.GetPattern(), dialog.IsAllow());
    UpdateButtons();
}

void CSettingDlg_IPFilter::OnEdit() {
    const int row = SelectedRow();
    if (row < 0) {
        ShowRefusal(m_environment.platform.boxes, this, "수정하실 항목을 선택해 주십시오!");
        return;
    }
    const QTreeWidgetItem* item = m_rules->topLevelItem(row);
    CSettingDlg_IPFilterRule dialog(m_environment.platform.boxes, item->text(0),
                                    item->data(1, kAllowRole).toBool(), this);
    if (m_environment.platform.runner.Run(dialog) == QDialog::Accepted) {
        SetRow(row, dialog.GetPattern(), dialog.IsAllow());
    }
}

void CSettingDlg_IPFilter::OnDelete() {
    const int row = SelectedRow();
    if (row < 0) {
        ShowRefusal(m_environment.platform.boxes, this, "삭제하실 항목을 선택해 주십시오!");
        return;
    }
    if (m_environment.platform.boxes.Show(this, ShellText("선택하신 IP 규칙을 삭제하시겠습니까?"),
                                          ShellText("IP 규칙 삭제 확인"), BoxIcon::Question,
                                          BoxButtons::YesNo) != BoxAnswer::Yes) {
        return;
    }
    delete m_rules->takeTopLevelItem(row);
    // The rule that moved into the place is selected, so several can be deleted in a row.
    SelectRow(row < m_rules->topLevelItemCount() ? row : -1);
    UpdateButtons();
}

void CSettingDlg_IPFilter::MoveSelected(int offset) {
    const int row = SelectedRow();
    const int target = row + offset;
    if (row < 0 || target < 0 || target >= m_rules->topLevelItemCount()) {
        return;
    }
    QTreeWidgetItem* item = m_rules->takeTopLevelItem(row);
    m_rules->insertTopLevelItem(target, item);
    SelectRow(target);
    UpdateButtons();
}

int CSettingDlg_IPFilter::FirstInvalidRow() const {
    // A rule read from a hand-edited mount.ini may not be valid; applying it would refuse the whole table.
    for (int row = 0; row < m_rules->topLevelItemCount(); ++row) {
        if (!ValidateIPPattern(m_rules->topLevelItem(row)->text(0).toStdString())) {
            return row;
        }
    }
    return -1;
}

bool CSettingDlg_IPFilter::Validate() {
    return FirstInvalidRow() < 0;
}

void CSettingDlg_IPFilter::Refuse() {
    SelectRow(FirstInvalidRow());
    ShowRefusal(m_environment.platform.boxes, this, "형식에 맞지 않는 IP 패턴입니다!");
}

void CSettingDlg_IPFilter::Apply() {
    std::vector<IPFilterRule> rules;
    for (int row = 0; row < m_rules->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = m_rules->topLevelItem(row);
        rules.push_back({item->data(1, kAllowRole).toBool(), item->text(0).toStdString()});
    }
    IPFilter& filter = m_environment.server.GetIPFilter();
    std::vector<IPFilterRule> stored;
    filter.GetIPFilterRules(stored);
    // Storing the same table again would only save mount.ini once more.
    if (rules != stored) {
        filter.SetIPFilterRules(rules);
    }
}

} // namespace Vuxo
