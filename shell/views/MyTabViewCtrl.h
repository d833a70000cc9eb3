// CMyTabViewCtrl: the main window's client area, a tab control with the share list (tab 0), the
// transfer-status view (tab 1) and the log view (tab 2). Local folders and files dropped on it become
// shares through the mount manager and appear in the share list.
// The main frame makes it after the server object and owns it (Qt parent); it connects tabChanged,
// CStatusView::transferSummary and the share list's signals. GUI thread only. The aggregator and the log
// queue must outlive it; the mount manager (not owned) is set by the frame and cleared before the server
// goes.
#pragma once

#include "shell/views/TabViewCtrl.h"

#include <QList>
#include <QUrl>

#include <string>
#include <vector>

namespace Vuxo {

class CLogView;
class CMountView;
class CStatusView;
class GuiTransferStatusAggregator;
class LogQueue;
class MountManager;

class CMyTabViewCtrl final : public CTabViewCtrl {
    Q_OBJECT
public:
    enum Tab { kSharesTab = 0, kStatusTab = 1, kLogTab = 2 };

    // The program passes GuiTransferStatusAggregator::GetInstance() and LogQueue::GetInstance(); tests
    // their own. `quietMs`: the quiet period of the status and log views' notifications.
    CMyTabViewCtrl(GuiTransferStatusAggregator& aggregator, LogQueue& logQueue, QWidget* parent = nullptr,
                   int quietMs = 0);
    ~CMyTabViewCtrl() override;

    // The manager that dropped items and renames go to; null refuses both.
    void SetMountManager(MountManager* manager);

    CMountView& GetMountView() { return *m_mountView; }
    CStatusView& GetStatusView() { return *m_statusView; }
    CLogView& GetLogView() { return *m_logView; }

    // Deletes every row of the log view (the log queue is not touched).
    void ClearLog();

    // Shares each local file URL in order (other URLs are skipped) and adds it to the share list; an item
    // the mount manager refuses is skipped (the manager logs why). Gives the names of the new shares.
    std::vector<std::string> AddDroppedUrls(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CMountView* m_mountView;
    CStatusView* m_statusView;
    CLogView* m_logView;
};

} // namespace Vuxo
