// LogListModel: the rows of the log view, oldest first, each a log entry's text and level, with the image
// of its level. It keeps at most a fixed number of rows: appending beyond the limit drops the oldest.
// GUI thread only.
#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QString>

#include <array>
#include <cstddef>
#include <deque>

namespace Vuxo {

struct LogEntry;

class LogListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    explicit LogListModel(size_t maxRows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Appends the entries in order, then drops the oldest rows beyond the limit.
    void Append(const std::deque<LogEntry>& entries);
    void Clear();

    QString GetText(int row) const;
    int GetLevel(int row) const;
    size_t GetMaxRows() const { return m_maxRows; }

private:
    struct Row {
        int level = 0;
        QString text;
    };

    size_t m_maxRows;
    std::deque<Row> m_rows;
    std::array<QIcon, 5> m_icons;
};

// The row image of a log level: 2 -> 0, 4 -> 1, 8 -> 2, 16 -> 3, 32 -> 4; -1 (none) for any other.
int LogImageIndex(int level);

} // namespace Vuxo
