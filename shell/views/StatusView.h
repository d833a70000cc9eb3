// CStatusView: the live transfer-status list, one row per transfer with request, client address, user
// name, progress, speed and time left. The aggregator notifies through a queued, coalescing target with
// the views' quiet period; a refresh first takes the announced additions and removals (DispatchEvents,
// which holds no aggregator lock while it calls this view), then a snapshot, and formats the rows from
// that copy, so the model is never changed while the aggregator's lock is held. After every refresh it
// emits transferSummary.
// Made and owned by CMyTabViewCtrl; GUI thread only. The aggregator must outlive the view; the view
// disconnects itself from it when destroyed.
#pragma once

#include "core/transfer/TransferStatusEventHandler.h"

#include <QTreeView>

#include <cstdint>
#include <string>
#include <vector>

namespace Vuxo {

class GuiTransferStatusAggregator;
class QueuedNotificationTarget;
class TransferListModel;

class CStatusView final : public QTreeView, public TransferStatusEventHandler {
    Q_OBJECT
public:
    // `quietMs`: the notification target's quiet period (QueuedNotificationTarget).
    CStatusView(GuiTransferStatusAggregator& aggregator, QWidget* parent = nullptr, int quietMs = 0);
    ~CStatusView() override;

    // The refresh described above (what a notification from the aggregator runs).
    void OnTransferStatusChanged();

    // Rows = live transfers shown.
    int GetRowCount() const;
    // The selected rows, top to bottom.
    std::vector<int> GetSelectedRows() const;
    // The transfer id of a row, 0 for a row that does not exist.
    int GetTransferId(int row) const;
    // The client address shown in a row ("" for a row that does not exist).
    std::u16string GetClientAddressText(int row) const;

    TransferListModel& GetModel() { return *m_model; }
    GuiTransferStatusAggregator& GetAggregator() { return m_aggregator; }

    // TransferStatusEventHandler
    void OnTransferAdded(int id) override;
    void OnTransferRemoved(int id) override;

signals:
    // After every refresh: the number of live transfers in the snapshot and the sum of their download
    // and upload speeds in bytes per second (the frame's status-bar panes).
    void transferSummary(int liveTransfers, qint64 bytesPerSecond);

private:
    GuiTransferStatusAggregator& m_aggregator;
    TransferListModel* m_model;
    QueuedNotificationTarget* m_target;
};

} // namespace Vuxo
