#include "shell/prefs/CSettingDlg_Throttle.h"

#include "core/transfer/GuiTransferStatusAggregator.h"
#include "core/transfer/TransferStatusAggregator.h"
#include "service/config/QuilloConfig.h"
#include "service/server/QuilloServer.h"
#include "shell/prefs/PageControls.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace Vuxo {

namespace {

constexpr int kBytesPerKilobyte = 1000;
// The largest speed in KB/s whose byte count still fits the stored int.
constexpr int kMaxKilobytesPerSecond = INT_MAX / kBytesPerKilobyte;
// Edits read at most this many characters.
constexpr int kEditTextLimit = 62;
// Every edit is as wide as the largest speed (in KB/s), so the numbers and their units line up in both
// groups.
constexpr int kEditDigits = 7;
// The columns of a group's grid: check box, number, unit, and the room left.
constexpr int kBoxColumn = 0;
constexpr int kEditColumn = 1;
constexpr int kUnitColumn = 2;
constexpr int kRestColumn = 3;

} // namespace

int ReadLimitValue(bool ticked, const QString& text, int maximum) {
    if (!ticked) {
        return -1;
    }
    const QString limited = text.left(kEditTextLimit);
    qsizetype at = 0;
    while (at < limited.size() && limited.at(at).isSpace()) {
        ++at;
    }
    bool negative = false;
    if (at < limited.size() && (limited.at(at) == u'+' || limited.at(at) == u'-')) {
        negative = limited.at(at) == u'-';
        ++at;
    }
    long long value = 0;
    for (; at < limited.size() && limited.at(at) >= u'0' && limited.at(at) <= u'9'; ++at) {
        // Saturates instead of overflowing: a huge number is the largest limit, never garbage.
        value = std::min<long long>(value * 10 + (limited.at(at).unicode() - u'0'), maximum);
    }
    return negative || value <= 0 ? -1 : static_cast<int>(value);
}

CSettingDlg_Throttle::CSettingDlg_Throttle(OptionEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment) {
    auto* layout = new QVBoxLayout(this);
    auto* upload = new QGroupBox(QString::fromUtf8("업로드"), this);
    m_grids[0] = new QGridLayout(upload);
    AddRow(upload, kUpload, 1031, 1032, "KB/s");
    auto* download = new QGroupBox(QString::fromUtf8("다운로드"), this);
    m_grids[1] = new QGridLayout(download);
    AddRow(download, kDownload, 1035, 1036, "KB/s");
    AddRow(download, kTotalConnections, 1037, 1038, "개");
    AddRow(download, kPerAddressConnections, 1039, 1040, "개");
    for (QGridLayout* grid : m_grids) {
        grid->setColumnStretch(kRestColumn, 1);
    }
    layout->addWidget(upload);
    layout->addWidget(download);
    layout->addStretch(1);
    // The upload number takes digits only; the others take any text and read its leading number.
    m_rows[kUpload].edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_rows[kUpload].edit));

    const QuilloConfig& config = m_environment.config;
    const int upKb = config.totalUploadSpeedLimit.load() / kBytesPerKilobyte;
    const int downKb = config.totalDownloadSpeedLimit.load() / kBytesPerKilobyte;
    FillRow(kUpload, upKb >= 1, upKb);
    FillRow(kDownload, downKb >= 1, downKb);
    // A connection row shows what is stored, the use flag included (a ticked 0 is a limit of none allowed).
    FillRow(kTotalConnections, config.useDownloadConnectionLimit.load(),
            config.downloadConnectionLimit.load());
    FillRow(kPerAddressConnections, config.usePerIPDownloadConnectionLimit.load(),
            config.perIPdownloadConnectionLimit.load());
}

void CSettingDlg_Throttle::AddRow(QWidget* group, RowIndex index, int boxId, int editId, const char* unit) {
    auto* grid = static_cast<QGridLayout*>(group->layout());
    const int line = grid->rowCount();
    const char* text = index <= kDownload           ? "총 전송 속도 제한"
                       : index == kTotalConnections ? "전체 동시 접속 수 제한"
                                                    : "IP별 동시 접속 수 제한";
    Row& row = m_rows[index];
    row.box = WithId(new QCheckBox(QString::fromUtf8(text), group), boxId);
    row.edit = WithId(new QLineEdit(group), editId);
    row.edit->setMaxLength(kEditTextLimit);
    row.edit->setFixedWidth(row.edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * kEditDigits +
                            row.edit->sizeHint().height());
    row.unit = new QLabel(QString::fromUtf8(unit), group);
    grid->addWidget(row.box, line, kBoxColumn);
    grid->addWidget(row.edit, line, kEditColumn);
    grid->addWidget(row.unit, line, kUnitColumn);
    connect(row.box, &QCheckBox::toggled, this, [&row](bool ticked) {
        row.edit->setEnabled(ticked);
        row.touched = true;
    });
    connect(row.edit, &QLineEdit::textEdited, this, [&row] { row.touched = true; });
}

void CSettingDlg_Throttle::showEvent(QShowEvent* event) {
    AlignColumns();
    QWidget::showEvent(event);
}

void CSettingDlg_Throttle::AlignColumns() {
    // The texts are known only once the dialog has translated them: the widest check box and unit of
    // either group set the columns of both.
    int boxWidth = 0;
    int unitWidth = 0;
    for (const Row& row : m_rows) {
        boxWidth = std::max(boxWidth, row.box->sizeHint().width());
        unitWidth = std::max(unitWidth, row.unit->sizeHint().width());
    }
    for (QGridLayout* grid : m_grids) {
        grid->setColumnMinimumWidth(kBoxColumn, boxWidth);
        grid->setColumnMinimumWidth(kUnitColumn, unitWidth);
    }
}

void CSettingDlg_Throttle::FillRow(RowIndex index, bool ticked, int shown) {
    Row& row = m_rows[index];
    row.box->setChecked(ticked);
    row.edit->setText(ticked || shown >= 1 ? QString::number(shown) : QString());
    row.edit->setEnabled(ticked);
    row.touched = false;
}

void CSettingDlg_Throttle::ApplyConnectionRow(RowIndex index, std::atomic<bool>& use,
                                              std::atomic<int>& limit) {
    const Row& row = m_rows[index];
    if (!row.touched) {
        return;
    }
    const int value = ReadLimitValue(row.box->isChecked(), row.edit->text(), INT_MAX);
    use = value >= 1;
    limit = value;
}

void CSettingDlg_Throttle::Apply() {
    QuilloConfig& config = m_environment.config;
    const auto speed = [this](RowIndex index) {
        const Row& row = m_rows[index];
        return ReadLimitValue(row.box->isChecked(), row.edit->text(), kMaxKilobytesPerSecond) *
               kBytesPerKilobyte;
    };
    config.totalUploadSpeedLimit = speed(kUpload);
    config.totalDownloadSpeedLimit = speed(kDownload);
    ApplyConnectionRow(kTotalConnections, config.useDownloadConnectionLimit, config.downloadConnectionLimit);
    ApplyConnectionRow(kPerAddressConnections, config.usePerIPDownloadConnectionLimit,
                       config.perIPdownloadConnectionLimit);
    if (GuiTransferStatusAggregator* aggregator = m_environment.server.GetAggregator()) {
        aggregator->SetSpeedLimit(kDirectionUpload, config.totalUploadSpeedLimit.load());
        aggregator->SetSpeedLimit(kDirectionDownload, config.totalDownloadSpeedLimit.load());
    }
}

} // namespace Vuxo
