// The log view against a real log queue: entries from worker threads, level pictures, the row limit.
#include "shell/views/LogView.h"
#include "core/log/LogQueue.h"
#include "shell/views/LogListModel.h"
#include "shell/views/QueuedNotificationTarget.h"
#include "shell/views/ViewCommands.h"

#include <QtTest>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace Vuxo;

namespace {

std::u16string Text(const std::string& text) {
    return QString::fromStdString(text).toStdU16String();
}

// Delivers every queued notification now.
void Deliver() {
    QCoreApplication::sendPostedEvents();
}

} // namespace

class LogViewTest : public QObject {
    Q_OBJECT
private slots:
    void thousandEntriesFromWorkersAllShownInOrder();
    void entriesBeforeTheViewAreShown();
    void levelPictures_data();
    void levelPictures();
    void keepsTheNewestTenThousand();
    void oneBatchLargerThanTheLimit();
    void longTextsStayWhole();
    void clearKeepsTheQueue();
    void destroyedViewIsNoLongerNotified();
    void burstsCoalesceAndNothingIsMissed();
    void aQuietPeriodGathersNotificationsUntilItEndsOrOneIsUrgent();
};

void LogViewTest::thousandEntriesFromWorkersAllShownInOrder() {
    LogQueue queue;
    CLogView view(queue);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 250;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&queue, &running, t] {
            for (int i = 0; i < kPerThread; ++i) {
                queue.Push(2, Text(std::to_string(t) + ":" + std::to_string(i)));
            }
            --running;
        });
    }
    // The GUI thread keeps draining while the workers log.
    while (running.load() > 0) {
        QCoreApplication::processEvents();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    Deliver();

    QCOMPARE(view.GetRowCount(), kThreads * kPerThread);
    std::map<int, int> next;
    for (int row = 0; row < view.GetRowCount(); ++row) {
        const QStringList parts = view.GetModel().GetText(row).split(u':');
        QCOMPARE(parts.size(), 2);
        const int thread = parts[0].toInt();
        QCOMPARE(parts[1].toInt(), next[thread]); // each thread's entries in the order it logged them
        ++next[thread];
    }
    for (int t = 0; t < kThreads; ++t) {
        QCOMPARE(next[t], kPerThread);
    }
}

void LogViewTest::entriesBeforeTheViewAreShown() {
    LogQueue queue;
    queue.Push(2, u"server banner");
    CLogView view(queue);
    QCOMPARE(view.GetRowCount(), 1);
    QCOMPARE(view.GetModel().GetText(0), QStringLiteral("server banner"));
}

void LogViewTest::levelPictures_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("image");
    QTest::newRow("info") << 2 << 0;
    QTest::newRow("error") << 4 << 1;
    QTest::newRow("warning") << 8 << 2;
    QTest::newRow("notice") << 16 << 3;
    QTest::newRow("alert") << 32 << 4;
    QTest::newRow("debug") << 1 << -1;
    QTest::newRow("none") << 0 << -1;
    QTest::newRow("two bits") << 6 << -1;
    QTest::newRow("unknown") << 64 << -1;
}

void LogViewTest::levelPictures() {
    QFETCH(int, level);
    QFETCH(int, image);
    LogQueue queue;
    CLogView view(queue);
    queue.Push(level, u"entry");
    Deliver();
    QCOMPARE(view.GetRowCount(), 1);
    const QModelIndex index = view.model()->index(0, 0);
    QCOMPARE(index.data(kImageIndexRole).toInt(), image);
    QCOMPARE(index.data(kLogLevelRole).toInt(), level);
    QCOMPARE(index.data(Qt::DecorationRole).isValid(), image >= 0);
}

void LogViewTest::keepsTheNewestTenThousand() {
    LogQueue queue;
    CLogView view(queue);
    int pushed = 0;
    for (int round = 0; round < 11; ++round) {
        for (int i = 0; i < 1000; ++i) {
            queue.Push(2, Text("entry " + std::to_string(pushed++)));
        }
        Deliver();
    }
    QCOMPARE(view.GetRowCount(), 10000);
    QCOMPARE(view.GetModel().GetText(0), QStringLiteral("entry 1000"));
    QCOMPARE(view.GetModel().GetText(9999), QStringLiteral("entry 10999"));
}

void LogViewTest::oneBatchLargerThanTheLimit() {
    LogListModel model(3);
    std::deque<LogEntry> first{{2, u"a"}, {2, u"b"}};
    model.Append(first);
    std::deque<LogEntry> second{{4, u"c"}, {4, u"d"}, {4, u"e"}, {4, u"f"}};
    model.Append(second);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.GetText(0), QStringLiteral("d"));
    QCOMPARE(model.GetText(2), QStringLiteral("f"));
    QCOMPARE(model.GetLevel(0), 4);
}

void LogViewTest::longTextsStayWhole() {
    LogQueue queue;
    CLogView view(queue);
    const QString longText = QString(300, u'x') + QStringLiteral("공유 끝");
    queue.Push(8, longText.toStdU16String());
    Deliver();
    const QModelIndex index = view.model()->index(0, 0);
    QCOMPARE(index.data(Qt::DisplayRole).toString(), longText);
    QCOMPARE(index.data(Qt::ToolTipRole).toString(), longText);
    QCOMPARE(view.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("로그"));
}

void LogViewTest::clearKeepsTheQueue() {
    LogQueue queue;
    CLogView view(queue);
    queue.Push(2, u"shown");
    Deliver();
    queue.Push(2, u"waiting");
    view.Clear();
    QCOMPARE(view.GetRowCount(), 0);
    Deliver();
    QCOMPARE(view.GetRowCount(), 1);
    QCOMPARE(view.GetModel().GetText(0), QStringLiteral("waiting"));
}

void LogViewTest::destroyedViewIsNoLongerNotified() {
    LogQueue queue;
    {
        CLogView view(queue);
        queue.Push(2, u"posted, never delivered");
    }
    // Neither the push nor the queued call may reach the destroyed view (ASan would see it).
    queue.Push(2, u"after");
    Deliver();
    LogEntry entry;
    QVERIFY(queue.Pop(entry));
    QCOMPARE(QString::fromStdU16String(entry.text), QStringLiteral("posted, never delivered"));
}

void LogViewTest::burstsCoalesceAndNothingIsMissed() {
    int calls = 0;
    QueuedNotificationTarget* self = nullptr;
    bool postDuringCall = true;
    QueuedNotificationTarget target(
        [&] {
            ++calls;
            if (postDuringCall) {
                postDuringCall = false;
                self->PostNotification(0, 0, 0); // arrives while the handler runs: one more call
            }
        },
        nullptr);
    self = &target;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&target] {
            for (int i = 0; i < 100; ++i) {
                target.PostNotification(0, 0, 0);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    QVERIFY(target.IsPending());
    Deliver();
    QCOMPARE(calls, 1);
    QVERIFY(target.IsPending());
    Deliver();
    QCOMPARE(calls, 2);
    QVERIFY(!target.IsPending());
}

void LogViewTest::aQuietPeriodGathersNotificationsUntilItEndsOrOneIsUrgent() {
    int calls = 0;
    QueuedNotificationTarget waiting([&] { ++calls; }, nullptr, 3600 * 1000);
    waiting.PostNotification(0, 0, 0);
    Deliver();
    QCOMPARE(calls, 1); // the first one goes at once
    waiting.PostNotification(0, 0, 0);
    waiting.PostNotification(0, 0, 0);
    Deliver();
    QCOMPARE(calls, 1);
    QVERIFY(waiting.IsPending());
    waiting.PostUrgentNotification(0, 0, 0);
    Deliver();
    QCOMPARE(calls, 2); // the three of the quiet period in one call
    Deliver();
    QCOMPARE(calls, 2);

    int shortCalls = 0;
    QueuedNotificationTarget brief([&] { ++shortCalls; }, nullptr, 20);
    brief.PostNotification(0, 0, 0);
    Deliver();
    brief.PostNotification(0, 0, 0);
    QTRY_COMPARE(shortCalls, 2);
    QTRY_VERIFY(!brief.IsPending()); // a period with nothing in it ends without a call
    QCOMPARE(shortCalls, 2);
    brief.PostNotification(0, 0, 0);
    Deliver();
    QCOMPARE(shortCalls, 3);
}

QTEST_MAIN(LogViewTest)
#include "LogViewTest.moc"
