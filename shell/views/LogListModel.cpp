#include "shell/views/LogListModel.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/log/LogQueue.h"
#include "shell/views/ViewCommands.h"
#include "shell/views/ViewIcons.h"

namespace Vuxo {

int LogImageIndex(int level) {
    switch (level) {
    case 2:
        return 0;
    case 4:
        return 1;
    case 8:
        return 2;
    case 16:
        return 3;
    case 32:
        return 4;
    default:
        return -1;
    }
}

LogListModel::LogListModel(size_t maxRows, QObject* parent)
    : QAbstractListModel(parent), m_maxRows(maxRows > 0 ? maxRows : 1) {
    for (int i = 0; i < static_cast<int>(m_icons.size()); ++i) {
        m_icons[i] = LogIcon(i);
    }
}

int LogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0 || index.row() >= rowCount()) {
        return {};
    }
    const Row& row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return row.text;
    case Qt::DecorationRole: {
        int image = LogImageIndex(row.level);
        return image < 0 ? QVariant() : QVariant(m_icons[image]);
    }
    case kImageIndexRole:
        return LogImageIndex(row.level);
    case kLogLevelRole:
        return row.level;
    default:
        return {};
    }
}

QVariant LogListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section != 0) {
        return {};
    }
    return QString::fromUtf8(Tr("로그"));
}

void LogListModel::Append(const std::deque<LogEntry>& entries) {
    if (entries.empty()) {
        return;
    }
    // Only the newest m_maxRows of the new entries can stay.
    size_t skip = entries.size() > m_maxRows ? entries.size() - m_maxRows : 0;
    size_t adding = entries.size() - skip;
    size_t overflow = m_rows.size() + adding > m_maxRows ? m_rows.size() + adding - m_maxRows : 0;
    if (overflow > 0) {
        beginRemoveRows(QModelIndex(), 0, static_cast<int>(overflow) - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(overflow));
        endRemoveRows();
    }
    int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(adding) - 1);
    for (size_t i = skip; i < entries.size(); ++i) {
        m_rows.push_back(Row{entries[i].level, QString::fromStdU16String(entries[i].text)});
    }
    endInsertRows();
}

void LogListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString LogListModel::GetText(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[row].text : QString();
}

int LogListModel::GetLevel(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[row].level : 0;
}

} // namespace Vuxo
