// The tab view: its three tabs, the tab-change signal of every switch, clearing the log, and folders
// dropped on it becoming shares (mount.ini included).
#include "ViewTestSupport.h"

#include "core/log/LogQueue.h"
#include "core/log/Trace.h"
#include "core/transfer/Clock.h"
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "shell/views/LogView.h"
#include "shell/views/MountView.h"
#include "shell/views/MyTabViewCtrl.h"
#include "shell/views/StatusView.h"

#include <QtTest>

#include <QMimeData>
#include <QTabBar>

#include <memory>

using namespace Vuxo;
using namespace Vuxo::ViewTest;

namespace {

QUrl FileUrl(const std::string& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path));
}

// Sends a drag over the control and, when it was accepted, the drop; gives whether the drag was accepted.
bool Drop(QWidget& target, const QList<QUrl>& urls, const QString& text = QString()) {
    QMimeData data;
    if (!urls.isEmpty()) {
        data.setUrls(urls);
    }
    if (!text.isEmpty()) {
        data.setText(text);
    }
    const QPoint at = target.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    return drop.isAccepted();
}

} // namespace

class TabViewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void threeTabsAtTheBottom();
    void everySwitchIsReported();
    void clickOnATab();
    void clearLogEmptiesOnlyTheView();
    void droppedFoldersBecomeShares();
    void dropsWithoutLocalFilesAreRefused();
    void dropsWithoutAMountManagerAddNothing();

private:
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<GuiTransferStatusAggregator> m_aggregator;
    std::unique_ptr<LogQueue> m_log;
    std::unique_ptr<ShareFolder> m_folder;
};

void TabViewTest::init() {
    m_clock = std::make_unique<ManualClock>(0);
    m_aggregator = std::make_unique<GuiTransferStatusAggregator>(*m_clock);
    m_log = std::make_unique<LogQueue>();
    m_folder = std::make_unique<ShareFolder>();
}

void TabViewTest::cleanup() {
    m_folder.reset();
    m_log.reset();
    m_aggregator.reset();
    m_clock.reset();
}

void TabViewTest::threeTabsAtTheBottom() {
    CMyTabViewCtrl tabs(*m_aggregator, *m_log);
    QCOMPARE(tabs.GetTabCount(), 3);
    QCOMPARE(tabs.tabPosition(), QTabWidget::South);
    QCOMPARE(tabs.tabText(0), QStringLiteral("공유"));
    QCOMPARE(tabs.tabText(1), QStringLiteral("전송상태"));
    QCOMPARE(tabs.tabText(2), QStringLiteral("로그"));
    QCOMPARE(tabs.widget(0), static_cast<QWidget*>(&tabs.GetMountView()));
    QCOMPARE(tabs.widget(1), static_cast<QWidget*>(&tabs.GetStatusView()));
    QCOMPARE(tabs.widget(2), static_cast<QWidget*>(&tabs.GetLogView()));
    QCOMPARE(tabs.GetActiveTab(), 0);
}

void TabViewTest::everySwitchIsReported() {
    CMyTabViewCtrl tabs(*m_aggregator, *m_log);
    QSignalSpy changes(&tabs, &CTabViewCtrl::tabChanged);
    auto last = [&] { return changes.constLast().at(0).toInt(); };

    tabs.SelectPreviousTab(); // from the shares tab back to the log tab
    QCOMPARE(tabs.GetActiveTab(), 2);
    QCOMPARE(last(), 2);
    tabs.SelectNextTab(); // from the log tab on to the shares tab
    QCOMPARE(tabs.GetActiveTab(), 0);
    QCOMPARE(last(), 0);
    tabs.SelectNextTab();
    QCOMPARE(last(), 1);
    tabs.SetActiveTab(2);
    QCOMPARE(last(), 2);
    tabs.SetActiveTab(2); // already active: still reported, with the tab shown
    QCOMPARE(last(), 2);
    tabs.SetActiveTab(7); // outside the tabs: reported with the tab that stays
    QCOMPARE(tabs.GetActiveTab(), 2);
    QCOMPARE(last(), 2);
    QCOMPARE(changes.size(), 6);
}

void TabViewTest::clickOnATab() {
    CMyTabViewCtrl tabs(*m_aggregator, *m_log);
    tabs.resize(500, 300);
    tabs.show();
    QSignalSpy changes(&tabs, &CTabViewCtrl::tabChanged);
    QTabBar* bar = tabs.tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    QCOMPARE(tabs.GetActiveTab(), 1);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes[0].at(0).toInt(), 1);
    QVERIFY(tabs.GetStatusView().isVisible());
    QVERIFY(!tabs.GetMountView().isVisible());
}

void TabViewTest::clearLogEmptiesOnlyTheView() {
    CMyTabViewCtrl tabs(*m_aggregator, *m_log);
    m_log->Push(2, u"one");
    m_log->Push(4, u"two");
    QCoreApplication::sendPostedEvents();
    QCOMPARE(tabs.GetLogView().GetRowCount(), 2);
    m_log->Push(8, u"three");
    tabs.ClearLog();
    QCOMPARE(tabs.GetLogView().GetRowCount(), 0);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(tabs.GetLogView().GetRowCount(), 1);
}

void TabViewTest::droppedFoldersBecomeShares() {
    TraceCollector traces;
    CMyTabViewCtrl tabs(*m_aggregator, *m_log);
    tabs.SetMountManager(&m_folder->Mounts());
    const std::string music = m_folder->MakeFolder("Music");
    const std::string photos = m_folder->MakeFolder("Photos");
    const std::string notes = m_folder->MakeFile("notes.txt");

    // Three items in drop order, a folder URL with its trailing "/", a remote URL and a missing path.
    const QList<QUrl> urls = {FileUrl(photos + "/"), QUrl(QStringLiteral("http://127.0.0.1/x")),
                              FileUrl(music), FileUrl(m_folder->Path("missing")), FileUrl(notes)};
    QVERIFY(Drop(tabs, urls));

    CMountView& view = tabs.GetMountView();
    QCOMPARE(view.GetItemCount(), 3);
    QCOMPARE(view.GetItemAlias(0), std::string("Photos"));
    QCOMPARE(view.GetItemLocalPath(0), photos);
    QCOMPARE(view.GetItemImageIndex(0), 1);
    QCOMPARE(view.GetItemAlias(1), std::string("Music"));
    QCOMPARE(view.GetItemAlias(2), std::string("notes.txt"));
    QCOMPARE(view.GetItemImageIndex(2), 0);
    QCOMPARE(m_folder->SavedShareNames(), (std::vector<std::string>{"Music", "Photos", "notes.txt"}));

    // Dropped again: the manager refuses the names already used and the list stays as it was.
    QVERIFY(Drop(tabs, {FileUrl(music)}));
    QCOMPARE(view.GetItemCount(), 3);
    QCOMPARE(m_folder->SavedShareNames(), (std::vector<std::string>{"Music", "Photos", "notes.txt"}));
    QVERIFY(traces.TextsAt(LOG_ALERT).empty());
}

void TabViewTest::dropsWithoutLocalFilesAreRefused() {
    CMyTabViewCtrl tabs(*m_aggregator, *m_log);
    tabs.SetMountManager(&m_folder->Mounts());
    QVERIFY(!Drop(tabs, {}, QStringLiteral("plain text")));
    QVERIFY(!Drop(tabs, {QUrl(QStringLiteral("http://127.0.0.1/Music"))}));
    QCOMPARE(tabs.GetMountView().GetItemCount(), 0);
    QVERIFY(m_folder->SavedShareNames().empty());
}

void TabViewTest::dropsWithoutAMountManagerAddNothing() {
    CMyTabViewCtrl tabs(*m_aggregator, *m_log);
    const std::string music = m_folder->MakeFolder("Music");
    QVERIFY(tabs.AddDroppedUrls({FileUrl(music)}).empty());
    QCOMPARE(tabs.GetMountView().GetItemCount(), 0);
}

QTEST_MAIN(TabViewTest)
#include "TabViewTest.moc"
