#include "shell/views/StatusView.h"

#include "core/log/NotifyMessages.h"
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "shell/views/QueuedNotificationTarget.h"
#include "shell/views/TransferListModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

namespace Vuxo {
namespace {

constexpr int kColumnWidths[TransferListModel::kColumnCount] = {290, 110, 110, 230, 100, 70};

} // namespace

CStatusView::CStatusView(GuiTransferStatusAggregator& aggregator, QWidget* parent, int quietMs)
    : QTreeView(parent), m_aggregator(aggregator), m_model(new TransferListModel(this)),
      m_target(new QueuedNotificationTarget([this] { OnTransferStatusChanged(); }, this, quietMs)) {
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    for (int column = 0; column < TransferListModel::kColumnCount; ++column) {
        setColumnWidth(column, kColumnWidths[column]);
    }
    m_aggregator.SetTarget(m_target, WM_TRANSFER_STATUS_CHANGED, 0, 0);
}

CStatusView::~CStatusView() {
    // After this returns no worker is inside the target any more, and queued calls die with it.
    m_aggregator.SetTarget(nullptr, 0, 0, 0);
}

void CStatusView::OnTransferStatusChanged() {
    // Neither step leaves the aggregator's lock held: the events arrive without it and the snapshot is a
    // copy that only this thread reads.
    m_aggregator.DispatchEvents(*this);
    const std::vector<TransferRecord>& snapshot = m_aggregator.TakeSnapshot();
    int64_t nowMs = m_aggregator.GetClock().NowMs();
    int64_t downloadSum = 0;
    int64_t uploadSum = 0;
    for (const TransferRecord& record : snapshot) {
        m_model->UpdateRow(record, nowMs);
        downloadSum += CalcTransferSpeed(record.download, nowMs);
        uploadSum += CalcTransferSpeed(record.upload, nowMs);
    }
    m_model->EndUpdate();
    emit transferSummary(static_cast<int>(snapshot.size()), downloadSum + uploadSum);
}

void CStatusView::OnTransferAdded(int id) {
    m_model->AddTransfer(id);
}

void CStatusView::OnTransferRemoved(int id) {
    m_model->RemoveTransfer(id);
}

int CStatusView::GetRowCount() const {
    return m_model->rowCount();
}

std::vector<int> CStatusView::GetSelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CStatusView::GetTransferId(int row) const {
    return m_model->GetTransferId(row);
}

std::u16string CStatusView::GetClientAddressText(int row) const {
    return m_model->GetText(row, TransferListModel::kClientAddress).toStdU16String();
}

} // namespace Vuxo
