// The main frame's states: server start and stop as the toolbar, the panes and the address box show them,
// a failed start, hiding into the tray and restoring, the order of the teardown, and the texts that worker
// threads hand to the GUI thread.
#include "core/log/LogQueue.h"
#include "core/log/Trace.h"
#include "service/server/QuilloServer.h"
#include "shell/frame/FrameTestSupport.h"
#include "shell/views/LogListModel.h"
#include "shell/views/LogView.h"
#include "shell/views/MyTabViewCtrl.h"
#include "shell/views/StatusView.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTcpServer>
#include <QTest>
#include <QToolBar>

#include <thread>
#include <vector>

using namespace Vuxo;
using namespace Vuxo::FrameTest;

namespace {

const QString kStoppedAddress = QString::fromUtf8("서버를 먼저 켜 주십시오");
const QString kOff = QString::fromUtf8("꺼짐");
const QString kOn = QString::fromUtf8("켜짐");

bool LogViewHolds(CMainFrame& frame, const QString& text) {
    CLogView& log = frame.GetTabView().GetLogView();
    log.OnLogAppended();
    for (int row = 0; row < log.GetRowCount(); ++row) {
        if (log.model()->index(row, 0).data().toString().contains(text)) {
            return true;
        }
    }
    return false;
}

} // namespace

class FrameStateTest : public QObject {
    Q_OBJECT

private slots:
    void startsStoppedWithTheStartRequestInTheAddressBox() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        QCOMPARE(frame.GetAction(ID_STARTSTOP)->text(), kOff);
        QVERIFY(!frame.GetAction(ID_STARTSTOP)->isChecked());
        QCOMPARE(frame.GetPaneText(kPaneRunning), kOff);
        QCOMPARE(frame.GetAddressBox().text(), kStoppedAddress);
        QVERIFY(frame.GetAddressBox().isReadOnly());
        QVERIFY(!frame.GetAction(ID_COPY_ADDRESS)->isEnabled());
        QVERIFY(!frame.GetAction(ID_BROWSE)->isEnabled());
        QCOMPARE(frame.GetPaneText(kPaneDefault), QStringLiteral("Quillo Corvanta 0.943"));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Quillo Corvanta"));
    }

    void startAndStopChangeToolbarPanesAndAddress() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();

        frame.ExecuteCommand(ID_STARTSTOP);
        QVERIFY(frame.GetServer()->IsRunning());
        QCOMPARE(frame.GetAction(ID_STARTSTOP)->text(), kOn);
        QVERIFY(frame.GetAction(ID_STARTSTOP)->isChecked());
        QCOMPARE(frame.GetPaneText(kPaneRunning), kOn);
        QVERIFY(frame.GetAction(ID_COPY_ADDRESS)->isEnabled());
        QVERIFY(frame.GetAction(ID_BROWSE)->isEnabled());
        const QString url = QString::fromStdString(frame.GetServer()->GetUrl());
        QVERIFY(url.startsWith(QStringLiteral("http://")));
        QVERIFY(url.endsWith(QStringLiteral(":%1/").arg(frame.GetServer()->GetPort())));
        QCOMPARE(frame.GetAddressBox().text(), url);
        QCOMPARE(fixture.MountIniValue("wasRunning"), std::string("1"));

        frame.ExecuteCommand(ID_STARTSTOP);
        QVERIFY(!frame.GetServer()->IsRunning());
        QCOMPARE(frame.GetAction(ID_STARTSTOP)->text(), kOff);
        QCOMPARE(frame.GetPaneText(kPaneRunning), kOff);
        QVERIFY(!frame.GetAction(ID_COPY_ADDRESS)->isEnabled());
        // The old address does not linger once the server is stopped.
        QCOMPARE(frame.GetAddressBox().text(), kStoppedAddress);
        QCOMPARE(fixture.MountIniValue("wasRunning"), std::string("0"));
    }

    void startsTheServerWhenItWasRunning() {
        FrameFixture fixture([](QuilloConfig& config) { config.wasRunning = true; });
        QVERIFY(fixture.Frame().GetServer()->IsRunning());
        QCOMPARE(fixture.Frame().GetAction(ID_STARTSTOP)->text(), kOn);
        QVERIFY(fixture.Frame().GetAddressBox().text().startsWith(QStringLiteral("http://")));
    }

    void failedStartReportsAndClearsWasRunning() {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::AnyIPv4, 0));
        const quint16 taken = holder.serverPort();
        FrameFixture fixture([taken](QuilloConfig& config) {
            config.port = taken;
            config.wasRunning = true;
        });
        CMainFrame& frame = fixture.Frame();
        QVERIFY(!frame.GetServer()->IsRunning());
        QCOMPARE(frame.GetAction(ID_STARTSTOP)->text(), kOff);
        QCOMPARE(frame.GetAddressBox().text(), kStoppedAddress);
        QCOMPARE(fixture.MountIniValue("wasRunning"), std::string("0"));
        // The server's alert reaches a box on the GUI thread, naming the port.
        QVERIFY(PumpUntil([&] { return !fixture.boxes.shown.empty(); }));
        const FakeBoxes::Box& box = fixture.boxes.shown.front();
        QCOMPARE(box.icon, BoxIcon::Error);
        QCOMPARE(box.caption, QStringLiteral("Quillo Corvanta"));
        QVERIFY(box.text.contains(QString::number(taken)));
        QVERIFY(LogViewHolds(frame, QString::fromUtf8("서버를 시작하지 못했습니다.")));

        // The start button tries again and fails the same way, leaving the state as it was.
        frame.ExecuteCommand(ID_STARTSTOP);
        QVERIFY(!frame.GetServer()->IsRunning());
        QCOMPARE(frame.GetPaneText(kPaneRunning), kOff);
    }

    void stoppingWithLiveTransfersAsksFirst() {
        FrameFixture fixture([](QuilloConfig& config) { config.wasRunning = true; });
        CMainFrame& frame = fixture.Frame();
        int key = 0;
        fixture.Aggregator().SetRemoteAddress(&key, "10.0.0.7");
        CStatusView& status = frame.GetTabView().GetStatusView();
        status.OnTransferStatusChanged();
        QCOMPARE(status.GetRowCount(), 1);

        fixture.boxes.answers = {BoxAnswer::No};
        frame.ExecuteCommand(ID_STARTSTOP);
        QCOMPARE(fixture.boxes.shown.size(), size_t(1));
        QCOMPARE(fixture.boxes.shown[0].icon, BoxIcon::Question);
        QCOMPARE(fixture.boxes.shown[0].buttons, BoxButtons::YesNo);
        QVERIFY(frame.GetServer()->IsRunning());

        fixture.boxes.answers = {BoxAnswer::Yes};
        frame.ExecuteCommand(ID_STARTSTOP);
        QVERIFY(!frame.GetServer()->IsRunning());
    }

    void transferSummaryFillsThePanes() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        CStatusView& status = frame.GetTabView().GetStatusView();
        status.OnTransferStatusChanged();
        QCOMPARE(frame.GetPaneText(kPaneSpeed), QStringLiteral("0 KB/s"));
        QCOMPARE(frame.GetPaneText(kPaneConnections), QString::fromUtf8("0 연결"));
        emit status.transferSummary(3, 1536000);
        QCOMPARE(frame.GetPaneText(kPaneSpeed), QStringLiteral("1500 KB/s"));
        QCOMPARE(frame.GetPaneText(kPaneConnections), QString::fromUtf8("3 연결"));
    }

    void closeHidesToTrayWithOneBalloonPerRun() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        frame.show();
        frame.close();
        QVERIFY(!frame.isVisible());
        QVERIFY(frame.IsHiddenToTray());
        QVERIFY(fixture.tray.visible);
        QCOMPARE(fixture.tray.balloons.size(), size_t(1));
        QCOMPARE(fixture.tray.balloons[0].milliseconds, 15000);

        // A click on the icon restores the window, and the icon goes.
        fixture.tray.Send(TrayEvent::Click);
        QVERIFY(frame.isVisible());
        QVERIFY(!frame.IsHiddenToTray());
        QVERIFY(!fixture.tray.visible);

        frame.close();
        QVERIFY(!frame.isVisible());
        QVERIFY(fixture.tray.visible);
        QCOMPARE(fixture.tray.balloons.size(), size_t(1));

        // The tray menu's restore command.
        frame.ExecuteCommand(ID_RESTORE);
        QVERIFY(frame.isVisible());
        QVERIFY(!fixture.tray.visible);
    }

    void bootOnTrayStartsHidden_data() {
        QTest::addColumn<bool>("registered");
        QTest::addColumn<int>("balloons");
        QTest::newRow("started with the session: no balloon") << true << 0;
        QTest::newRow("started by hand") << false << 1;
    }

    void bootOnTrayStartsHidden() {
        QFETCH(bool, registered);
        QFETCH(int, balloons);
        FrameFixture fixture([](QuilloConfig& config) { config.bootOnTray = true; }, false);
        if (registered) {
            fixture.autostart.Register(FrameFixture::kProgramPath);
        }
        fixture.MakeFrame();
        QVERIFY(PumpUntil([&] { return fixture.Frame().IsHiddenToTray(); }));
        QVERIFY(!fixture.Frame().isVisible());
        QVERIFY(fixture.tray.visible);
        QCOMPARE(int(fixture.tray.balloons.size()), balloons);
    }

    void withoutATrayCloseMinimises() {
        FrameFixture fixture;
        fixture.tray.available = false;
        CMainFrame& frame = fixture.Frame();
        frame.show();
        frame.close();
        QVERIFY(frame.isVisible());
        QVERIFY(frame.isMinimized());
        QVERIFY(!frame.IsHiddenToTray());
        QVERIFY(!fixture.tray.visible);
    }

    void secondInstanceWakeRestoresAndKeepsTheIcon() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        frame.show();
        frame.close();
        frame.WakeFromSecondInstance();
        QVERIFY(frame.isVisible());
        QVERIFY(!frame.IsHiddenToTray());
        QVERIFY(fixture.tray.visible);
        // The next click on the icon of a visible window takes it away.
        fixture.tray.Send(TrayEvent::Click);
        QVERIFY(!fixture.tray.visible);
        QVERIFY(frame.isVisible());
    }

    void exitAsksAndEndsWithCodeOne() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        std::vector<int> codes;
        connect(&frame, &CMainFrame::exitRequested, this, [&codes](int code) { codes.push_back(code); });
        frame.close();
        QVERIFY(fixture.tray.visible);

        fixture.boxes.answers = {BoxAnswer::No};
        frame.ExecuteCommand(ID_EXIT);
        QVERIFY(codes.empty());
        QCOMPARE(fixture.boxes.shown.back().text, QString::fromUtf8("Corvanta를 종료하시겠습니까?"));

        int key = 0;
        fixture.Aggregator().SetRemoteAddress(&key, "10.0.0.8");
        frame.GetTabView().GetStatusView().OnTransferStatusChanged();
        fixture.boxes.answers = {BoxAnswer::Yes};
        frame.ExecuteCommand(ID_EXIT);
        QCOMPARE(fixture.boxes.shown.back().text,
                 QString::fromUtf8("Corvanta를 종료하시겠습니까? (아직 접속중인 사용자가 있습니다)"));
        QCOMPARE(codes, std::vector<int>{1});
        QVERIFY(!fixture.tray.visible);
    }

    void teardownDestroysTheServerBeforeTheViews() {
        FrameFixture fixture([](QuilloConfig& config) { config.wasRunning = true; });
        QVERIFY(fixture.Frame().GetServer()->IsRunning());
        fixture.DestroyFrame();
        // Stopped, saved as running (so the next start starts it), and the closing line written.
        QCOMPARE(fixture.MountIniValue("wasRunning"), std::string("1"));
        const std::string log = fixture.DayLog();
        QVERIFY(log.find("Quillo Corvanta 종료") != std::string::npos);
        QVERIFY(log.rfind("Quillo Corvanta 종료") > log.rfind("서버 중지"));
        // Nothing is left that would post to the destroyed views.
        LogQueue::GetInstance().Push(LOG_NOTICE, u"late entry");
        int key = 0;
        fixture.Aggregator().SetRemoteAddress(&key, "10.0.0.9");
        fixture.Aggregator().Unregister(&key);
        QCoreApplication::processEvents();
        LogEntry entry;
        while (LogQueue::GetInstance().Pop(entry)) {
        }
    }

    void alertsFromWorkerThreadsAreShownInOrderOnTheGuiThread() {
        FrameFixture fixture;
        QThread* const gui = QThread::currentThread();
        std::vector<QThread*> shownOn;
        fixture.boxes.whileOpen = [&] { shownOn.push_back(QThread::currentThread()); };
        std::thread worker([] {
            for (int i = 0; i < 20; ++i) {
                Trace(LOG_ALERT, "alert %d", i);
            }
        });
        worker.join();
        QVERIFY(PumpUntil([&] { return fixture.boxes.shown.size() >= 20; }));
        QCoreApplication::processEvents();
        QCOMPARE(fixture.boxes.shown.size(), size_t(20));
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(fixture.boxes.shown[i].text, QStringLiteral("alert %1").arg(i));
            QCOMPARE(shownOn[i], gui);
        }
    }

    void alertsDuringAnOpenBoxWaitForIt() {
        FrameFixture fixture;
        int depth = 0;
        int deepest = 0;
        fixture.boxes.whileOpen = [&] {
            ++depth;
            deepest = std::max(deepest, depth);
            if (fixture.boxes.shown.size() == 1) {
                Trace(LOG_ALERT, "%s", "second");
                // The modal loop of an open box runs queued calls.
                QCoreApplication::processEvents();
            }
            --depth;
        };
        Trace(LOG_ALERT, "%s", "first");
        QVERIFY(PumpUntil([&] { return fixture.boxes.shown.size() >= 2; }));
        QCOMPARE(fixture.boxes.shown[0].text, QStringLiteral("first"));
        QCOMPARE(fixture.boxes.shown[1].text, QStringLiteral("second"));
        QCOMPARE(deepest, 1);
    }

    void addressFromAnotherThreadArrivesOnTheGuiThread() {
        FrameFixture fixture([](QuilloConfig& config) { config.wasRunning = true; });
        CMainFrame& frame = fixture.Frame();
        frame.GetAddressBox().setText(QStringLiteral("stale"));
        std::thread worker([&frame] { frame.ShowRootAddress(); });
        worker.join();
        QCOMPARE(frame.GetAddressBox().text(), QStringLiteral("stale"));
        QVERIFY(PumpUntil([&] { return frame.GetAddressBox().text() != QStringLiteral("stale"); }));
        QCOMPARE(frame.GetAddressBox().text(), QString::fromStdString(frame.GetServer()->GetUrl()));
    }

    void skinDevelopersModeMarksTheTitle() {
        FrameFixture fixture([](QuilloConfig& config) { config.skinDevelopersMode = true; });
        QCOMPARE(fixture.Frame().windowTitle(), QStringLiteral("Quillo Corvanta [SKIN DEVELOPERS MODE]"));
    }

};

QTEST_MAIN(FrameStateTest)
#include "FrameStateTest.moc"
