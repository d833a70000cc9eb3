#include "shell/views/LogView.h"

#include "core/log/LogQueue.h"
#include "core/log/NotifyMessages.h"
#include "shell/views/LogListModel.h"
#include "shell/views/QueuedNotificationTarget.h"

#include <QHeaderView>

#include <deque>

namespace Vuxo {

CLogView::CLogView(LogQueue& queue, QWidget* parent, int quietMs)
    : QTreeView(parent), m_queue(queue), m_model(new LogListModel(kMaxRows, this)),
      m_target(new QueuedNotificationTarget([this] { OnLogAppended(); }, this, quietMs)) {
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(true);
    m_scrollTimer.setSingleShot(true);
    m_scrollTimer.setInterval(kScrollIntervalMs);
    connect(&m_scrollTimer, &QTimer::timeout, this, &QAbstractItemView::scrollToBottom);
    m_queue.SetTarget(m_target, WM_LOG_ADDED, 0, 0);
    // Entries logged before the view existed are shown at once.
    OnLogAppended();
}

CLogView::~CLogView() {
    m_queue.SetTarget(nullptr, 0, 0, 0);
}

void CLogView::OnLogAppended() {
    // Bounded per call, so that threads logging without pause cannot keep the GUI thread here; what is
    // left is taken by the next call, queued at once.
    std::deque<LogEntry> entries;
    if (m_queue.PopBatch(entries, kMaxRows) == 0) {
        return;
    }
    m_model->Append(entries);
    if (!m_scrollTimer.isActive()) {
        m_scrollTimer.start();
    }
    if (entries.size() == kMaxRows) {
        m_target->PostNotification(WM_LOG_ADDED, 0, 0);
    }
}

void CLogView::Clear() {
    m_model->Clear();
}

int CLogView::GetRowCount() const {
    return m_model->rowCount();
}

} // namespace Vuxo
