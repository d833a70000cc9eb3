// CLogView: the log list. The log queue notifies through a queued, coalescing target with the views'
// quiet period (ended early when the queue is half full); each notification drains the whole queue into
// the list at once. The newest row is scrolled into view at most every kScrollIntervalMs: scrolling lays
// out every row of the list, which for a server answering thousands of requests a second would keep the
// GUI thread busy with nothing else. The list keeps the newest
// kMaxRows entries. A text wider than the column shows whole in its tool tip.
// Made and owned by CMyTabViewCtrl; GUI thread only. The queue must outlive the view; the view
// disconnects itself from it when destroyed.
#pragma once

#include <QTimer>
#include <QTreeView>

#include <cstddef>

namespace Vuxo {

class LogListModel;
class LogQueue;
class QueuedNotificationTarget;

class CLogView final : public QTreeView {
    Q_OBJECT
public:
    static constexpr size_t kMaxRows = 10000;
    static constexpr int kScrollIntervalMs = 100;

    // `quietMs`: the notification target's quiet period (QueuedNotificationTarget).
    CLogView(LogQueue& queue, QWidget* parent = nullptr, int quietMs = 0);
    ~CLogView() override;

    // Moves every waiting entry of the queue into the list (what a notification runs).
    void OnLogAppended();
    // Deletes every row; the queue is not touched.
    void Clear();

    int GetRowCount() const;
    LogListModel& GetModel() { return *m_model; }

private:
    LogQueue& m_queue;
    LogListModel* m_model;
    QueuedNotificationTarget* m_target;
    QTimer m_scrollTimer;
};

} // namespace Vuxo
