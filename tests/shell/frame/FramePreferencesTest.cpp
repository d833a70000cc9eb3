// The preferences command of the main frame with the real dialog, scripted through the fake dialog runner:
// what follows OK (the port of the running server, the language notice, the connection limits, the shown
// address, the save), the connection test cancelled with its dialog, and an exit asked for while the
// dialog runs its own modal loop.
#include "fixtures/support/FakeMakerService.h"
#include "fixtures/support/TestHttpClient.h"
#include "service/access/ConnectionCountLimitManager.h"
#include "service/server/MakerService.h"
#include "service/server/QuilloServer.h"
#include "shell/frame/FrameTestSupport.h"
#include "shell/platform/ModalRunner.h"
#include "shell/prefs/COptionDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace Vuxo;
using namespace Vuxo::FrameTest;

namespace {

QWidget& Page(QDialog& dialog, int index) {
    return *static_cast<COptionDlg&>(dialog).GetPage(index).GetWindow();
}

// Opens the preferences, lets `edit` change the pages, and presses OK.
void ApplyPreferences(FrameFixture& fixture, const std::function<void(QDialog&)>& edit) {
    fixture.runner.scripts.push_back([edit](QDialog& dialog) {
        edit(dialog);
        dialog.accept();
    });
    fixture.Frame().ExecuteCommand(ID_PREFERENCES);
}

void TypePort(QDialog& dialog, uint16_t port) {
    FindControl<QLineEdit>(Page(dialog, COptionDlg::kServer), 1000)->setText(QString::number(port));
}

uint16_t FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::Any, 0);
    return probe.serverPort();
}

// Whether `address` may take one more download connection now (the count taken is kept in `tokens`).
int Acquire(ConnectionCountLimitManager& limits, std::vector<CounterToken>& tokens,
            const std::string& address) {
    tokens.emplace_back();
    try {
        limits.Acquire(tokens.back(), address);
        return -1;
    } catch (const ConnectionCountLimitException& refused) {
        return refused.GetCode();
    }
}

} // namespace

class FramePreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void aPortChangeMovesTheRunningServerOrKeepsTheOldPort() {
        FrameFixture fixture([](QuilloConfig& config) { config.wasRunning = true; });
        QuilloServer& server = *fixture.Frame().GetServer();
        QVERIFY(server.IsRunning());

        const uint16_t moved = FreePort();
        ApplyPreferences(fixture, [moved](QDialog& dialog) { TypePort(dialog, moved); });
        QCOMPARE(server.GetPort(), moved);
        QCOMPARE(fixture.MountIniValue("port"), std::to_string(moved));
        QVERIFY(Fixtures::HttpGet(moved, "/").status != 0);
        QVERIFY(fixture.boxes.shown.empty());

        QTcpServer holder; // the port someone else listens on
        QVERIFY(holder.listen(QHostAddress::Any, 0));
        ApplyPreferences(fixture, [&holder](QDialog& dialog) { TypePort(dialog, holder.serverPort()); });
        QCOMPARE(server.GetPort(), moved);
        QCOMPARE(fixture.Config().port.load(), moved);
        QCOMPARE(fixture.MountIniValue("port"), std::to_string(moved));
        QVERIFY(Fixtures::HttpGet(moved, "/").status != 0);
        QCOMPARE(fixture.boxes.shown.size(), size_t(1));
        QCOMPARE(fixture.boxes.shown[0].text,
                 QString::fromUtf8("포트를 변경하지 못했습니다. 해당 포트가 이미 사용중인 것 같습니다."));
        QCOMPARE(fixture.boxes.shown[0].caption, QString::fromUtf8("환경설정"));
    }

    void okActsOnTheLanguageTheLimitsAndTheAddressAndSaves() {
        Fixtures::FakeMakerService maker;
        maker.Queue(kPublicAddressPath, {200, "203.0.113.7\r\n"});
        maker.Queue(kPublicAddressPath, {200, "203.0.113.8\r\n"});
        FrameFixture fixture(
            [](QuilloConfig& config) {
                config.wasRunning = true;
                config.getPublicIP = true;
            },
            false);
        fixture.serviceAddress = maker.Address();
        QDir().mkpath(QString::fromStdString(fixture.ProgramFolder() + "/Language"));
        QFile::copy(QStringLiteral(CORVANTA_SOURCE_DIR "/Language/English.wul"),
                    QString::fromStdString(fixture.ProgramFolder() + "/Language/English.wul"));
        fixture.MakeFrame();
        QVERIFY(maker.WaitForRequests(kPublicAddressPath, 1));

        // Nothing changed: no notice, and the address is asked for again.
        ApplyPreferences(fixture, [](QDialog&) {});
        QVERIFY(fixture.boxes.shown.empty());
        QVERIFY(maker.WaitForRequests(kPublicAddressPath, 2));
        const QString root =
            QStringLiteral("http://203.0.113.8:%1/").arg(fixture.Frame().GetServer()->GetPort());
        QVERIFY(PumpUntil([&] { return fixture.Frame().GetAddressBox().text() == root; }));

        ApplyPreferences(fixture, [](QDialog& dialog) {
            FindControl<QComboBox>(Page(dialog, COptionDlg::kLanguage), 1017)->setCurrentIndex(1);
            QWidget& limits = Page(dialog, COptionDlg::kThrottle);
            FindControl<QCheckBox>(limits, 1037)->setChecked(true);
            FindControl<QLineEdit>(limits, 1038)->setText(QStringLiteral("2"));
            FindControl<QCheckBox>(limits, 1039)->setChecked(true);
            FindControl<QLineEdit>(limits, 1040)->setText(QStringLiteral("1"));
        });
        QCOMPARE(fixture.boxes.shown.size(), size_t(1));
        QCOMPARE(fixture.boxes.shown[0].text,
                 QString::fromUtf8("변경된 언어 설정은 Corvanta를 다시 시작했을 때 적용됩니다."));
        QCOMPARE(fixture.MountIniValue("uiLanguageFile"), std::string("English.wul"));
        QCOMPARE(fixture.MountIniValue("perIPdownloadConnectionLimit"), std::string("1"));

        ConnectionCountLimitManager& limits = fixture.Frame().GetServer()->GetConnectionCountLimitManager();
        std::vector<CounterToken> tokens;
        QCOMPARE(Acquire(limits, tokens, "10.0.0.1"), -1);
        QCOMPARE(Acquire(limits, tokens, "10.0.0.1"), ConnectionCountLimitException::kPerAddressLimit);
        QCOMPARE(Acquire(limits, tokens, "10.0.0.2"), -1);
        QCOMPARE(Acquire(limits, tokens, "10.0.0.3"), ConnectionCountLimitException::kTotalLimit);
    }

    void closingTheDialogCancelsTheServersConnectionTest() {
        Fixtures::FakeMakerService maker;
        maker.Queue(kRunningCheckPath, {200, "", true}); // answered only when released: never
        FrameFixture fixture([](QuilloConfig& config) { config.wasRunning = true; }, false);
        fixture.serviceAddress = maker.Address();
        fixture.MakeFrame();
        fixture.runner.scripts.push_back([&maker](QDialog& dialog) {
            auto* check = FindControl<QPushButton>(Page(dialog, COptionDlg::kServer), 1015);
            check->click();
            QVERIFY(!check->isEnabled());
            QVERIFY(maker.WaitForRequests(kRunningCheckPath, 1));
        }); // then the runner closes the dialog, which cancels the test and joins its worker
        fixture.Frame().ExecuteCommand(ID_PREFERENCES);
        QVERIFY(maker.WaitForClientGone());
        QCoreApplication::processEvents();
        QVERIFY(fixture.boxes.shown.empty());
    }

    void anExitWhileTheDialogRunsEndsItsLoopFirst_data() {
        QTest::addColumn<bool>("fromTray");
        QTest::newRow("tray exit") << true;
        QTest::newRow("termination signal") << false;
    }

    void anExitWhileTheDialogRunsEndsItsLoopFirst() {
        QFETCH(bool, fromTray);
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        const std::string before = fixture.MountIni();
        const std::string tray = fixture.MountIniValue("bootOnTray");
        int exits = 0;
        // As the program wires it: the exit ends the application's loop, the frame goes after it.
        connect(&frame, &CMainFrame::exitRequested, qApp, [&exits](int code) {
            ++exits;
            QCoreApplication::exit(code);
        });
        fixture.boxes.answers.push_back(BoxAnswer::Yes);
        const auto exit = [&frame, fromTray] {
            if (!fromTray) {
                frame.RequestExit(); // what SIGTERM reaches through the signal pipe
                return;
            }
            for (QAction* action : frame.GetTrayMenu().actions()) {
                if (action->data().toInt() == ID_EXIT) {
                    action->trigger();
                }
            }
        };
        int result = -1;
        bool aliveAfterItsLoop = false;
        fixture.runner.scripts.push_back([&](QDialog& dialog) {
            FindControl<QCheckBox>(Page(dialog, COptionDlg::kGeneral), 1002)->setChecked(true);
            QPointer<QDialog> guard(&dialog);
            QTimer::singleShot(0, &dialog, exit);
            result = QtModalRunner().Run(dialog);
            aliveAfterItsLoop = !guard.isNull();
        });
        QTimer::singleShot(0, &frame, [&frame] { frame.ExecuteCommand(ID_PREFERENCES); });
        QCOMPARE(QCoreApplication::exec(), 1);

        QCOMPARE(exits, 1);
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(aliveAfterItsLoop);
        QVERIFY(fixture.HasFrame());
        QVERIFY(fixture.MountIni() == before);
        QVERIFY(!fixture.Config().bootOnTray.load());
        fixture.DestroyFrame();
        QCOMPARE(fixture.MountIniValue("bootOnTray"), tray);
    }
};

QTEST_MAIN(FramePreferencesTest)
#include "FramePreferencesTest.moc"
