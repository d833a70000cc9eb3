#include "shell/views/TransferListModel.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/transfer/TransferRecord.h"
#include "shell/views/TransferRowFormat.h"
#include "shell/views/ViewCommands.h"
#include "shell/views/ViewIcons.h"

namespace Vuxo {
namespace {

const char* const kHeaders[TransferListModel::kColumnCount] = {
    "요청", "클라이언트 IP", "접속자 ID", "진행", "속도", "남은 시간",
};

} // namespace

TransferListModel::TransferListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (int i = 0; i < static_cast<int>(m_icons.size()); ++i) {
        m_icons[i] = TransferIcon(i);
    }
}

int TransferListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TransferListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TransferListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount) {
        return {};
    }
    const Row& row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return row.texts[index.column()];
    case Qt::DecorationRole:
        if (index.column() == kRequest) {
            return m_icons[row.imageIndex];
        }
        return {};
    case kImageIndexRole:
        return row.imageIndex;
    case kTransferIdRole:
        return row.id;
    default:
        return {};
    }
}

QVariant TransferListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) {
        return {};
    }
    return QString::fromUtf8(Tr(kHeaders[section]));
}

void TransferListModel::AddTransfer(int id) {
    int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    m_rows.push_back(Row{id, 0, false, {}});
    if (m_indexValid) {
        m_rowById.emplace(id, row);
    }
    endInsertRows();
}

void TransferListModel::RemoveTransfer(int id) {
    int row = FindRow(id);
    if (row < 0) {
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    m_indexValid = false;
    endRemoveRows();
}

void TransferListModel::RebuildIndex() const {
    m_rowById.clear();
    // Searching from the start, the first row of an id wins, as a linear search would find it.
    for (int row = static_cast<int>(m_rows.size()) - 1; row >= 0; --row) {
        m_rowById[m_rows[row].id] = row;
    }
    m_indexValid = true;
}

int TransferListModel::FindRow(int id) const {
    if (!m_indexValid) {
        RebuildIndex();
    }
    auto found = m_rowById.find(id);
    return found == m_rowById.end() ? -1 : found->second;
}

int TransferListModel::GetTransferId(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[row].id : 0;
}

QString TransferListModel::GetText(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount) {
        return {};
    }
    return m_rows[row].texts[column];
}

int TransferListModel::GetImageIndex(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[row].imageIndex : -1;
}

bool TransferListModel::UpdateRow(const TransferRecord& record, int64_t nowMs) {
    int index = FindRow(record.id);
    if (index < 0) {
        return false;
    }
    Row& row = m_rows[index];
    const TransferSide& side = record.direction == 1 ? record.upload : record.download;
    int64_t speed = CalcTransferSpeed(side, nowMs);
    row.texts[kProgress] = QString::fromStdU16String(FormatTransferProgress(side.position, side.totalSize));
    row.texts[kSpeed] = QString::fromStdU16String(FormatTransferSpeed(speed));
    row.texts[kTimeLeft] = QString::fromStdU16String(FormatTimeLeft(side.position, side.totalSize, speed));
    if (record.changed || !row.filled) {
        row.filled = true;
        row.texts[kClientAddress] = QString::fromUtf8(record.peerAddress);
        row.texts[kUserName] = QString::fromUtf8(record.userName);
        row.texts[kRequest] = QString::fromUtf8(record.request);
        row.imageIndex = TransferImageIndex(record.direction);
    }
    return true;
}

void TransferListModel::EndUpdate() {
    if (!m_rows.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
    }
}

} // namespace Vuxo
