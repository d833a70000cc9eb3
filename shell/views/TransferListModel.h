// TransferListModel: the rows of the transfer-status view, one per live transfer, keyed by the transfer
// id. Rows are added and removed as the aggregator announces transfers (CStatusView::OnTransferAdded and
// OnTransferRemoved) and refreshed from snapshot records, which are copies the GUI thread owns: the model
// never sees the aggregator or its lock. GUI thread only.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Vuxo {

struct TransferRecord;

class TransferListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kRequest, kClientAddress, kUserName, kProgress, kSpeed, kTimeLeft, kColumnCount };

    explicit TransferListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Appends an empty row for `id`.
    void AddTransfer(int id);
    // Removes the row of `id`; an id without a row changes nothing.
    void RemoveTransfer(int id);
    // The row of `id`, or -1.
    int FindRow(int id) const;
    int GetTransferId(int row) const;
    QString GetText(int row, int column) const;
    int GetImageIndex(int row) const;

    // Formats the row of the record's id (progress, speed and time left always; request, address, user
    // name and image when the record is marked changed, and on a row's first update, since a transfer
    // that began between the announcement and the snapshot has had its flag taken already). False when
    // the id has no row.
    bool UpdateRow(const TransferRecord& record, int64_t nowMs);
    // Tells the views that every row may have changed since the last call.
    void EndUpdate();

private:
    struct Row {
        int id = 0;
        int imageIndex = 0;
        bool filled = false; // the texts were set from a record once
        std::array<QString, kColumnCount> texts;
    };

    void RebuildIndex() const;

    std::vector<Row> m_rows;
    mutable std::unordered_map<int, int> m_rowById; // rebuilt on demand after a removal
    mutable bool m_indexValid = true;
    std::array<QIcon, 3> m_icons;
};

} // namespace Vuxo
