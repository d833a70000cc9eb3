// The preferences dialog and its General, Server and Language pages (Qt Test, offscreen, scripted through
// the fake dialog runner), with mount.ini checked on disk.
#include "service/accounts/AccountStore.h"
#include "service/server/QuilloServer.h"
#include "shell/platform/AutostartEntry.h"
#include "shell/prefs/CSettingDlg_General.h"
#include "shell/prefs/CSettingDlg_Language.h"
#include "shell/prefs/CSettingDlg_Server.h"
#include "shell/prefs/CWizard.h"
#include "shell/prefs/PrefsTestSupport.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWizard>

#include <future>

using namespace Vuxo;
using namespace Vuxo::PrefsTest;

namespace {

const QString kPortRefused = QStringLiteral("Failed to exchanging data!\n(Control ID: 1000)");

QWidget& Page(COptionDlg& dialog, int index) {
    return *dialog.GetPage(index).GetWindow();
}

void CopyLanguageFile(const PrefsFixture& fixture) {
    const QString folder = QString::fromStdString(fixture.server.ProgramFolder() + "/Language");
    QDir().mkpath(folder);
    QFile::copy(QStringLiteral(CORVANTA_SOURCE_DIR "/Language/English.wul"), folder + "/English.wul");
}

} // namespace

class OptionDlgTest : public QObject {
    Q_OBJECT

private slots:
    void opensOnGeneralAndShowsOnePageAtATime() {
        PrefsFixture fixture;
        auto dialog = fixture.OpenDialog();
        auto* list = FrameTest::FindControl<QListWidget>(*dialog, 1012);
        auto* frame = FrameTest::FindControl<QGroupBox>(*dialog, 1009);
        QCOMPARE(dialog->windowTitle(), QString::fromUtf8("환경설정"));
        QCOMPARE(list->count(), 8);
        const char* names[] = {"일반", "서버", "언어", "IP 필터", "접속제한", "계정", "스킨", "플러그인"};
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(list->item(i)->text(), QString::fromUtf8(names[i]));
        }
        QCOMPARE(dialog->GetCurrentPage(), 0);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(frame->title(), QString::fromUtf8("일반"));

        list->setCurrentRow(3);
        QCOMPARE(dialog->GetCurrentPage(), 3);
        QCOMPARE(frame->title(), QString::fromUtf8("IP 필터"));
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(Page(*dialog, i).isHidden(), i != 3);
        }

        // Back and forth through the pages, the dialog keeps its size.
        dialog->show();
        QCoreApplication::processEvents();
        const QSize size = dialog->size();
        for (const int row : {7, 6, 5, 4, 3, 2, 1, 0, 7, 0, 4, 1}) {
            list->setCurrentRow(row);
            QCoreApplication::processEvents();
            QCOMPARE(dialog->size(), size);
        }
    }

    void okAppliesEveryPageAndCancelWritesNothing() {
        PrefsFixture fixture([](QuilloConfig& config) { config.totalUploadSpeedLimit = 1500; });
        CopyLanguageFile(fixture);
        const std::string before = fixture.MountIni();
        {
            // An edit on every page, then Cancel.
            auto dialog = fixture.OpenDialog();
            FrameTest::FindControl<QCheckBox>(Page(*dialog, COptionDlg::kGeneral), 1002)->setChecked(true);
            FrameTest::FindControl<QCheckBox>(Page(*dialog, COptionDlg::kGeneral), 1035)->setChecked(true);
            FrameTest::FindControl<QLineEdit>(Page(*dialog, COptionDlg::kServer), 1000)
                ->setText(QStringLiteral("9090"));
            FrameTest::FindControl<QComboBox>(Page(*dialog, COptionDlg::kLanguage), 1017)->setCurrentIndex(1);
            fixture.runner.scripts.push_back([](QDialog& rule) {
                FrameTest::FindControl<QLineEdit>(rule, 1028)->setText(QStringLiteral("10.*.*.*"));
                PressOk(rule);
            });
            FrameTest::FindControl<QPushButton>(Page(*dialog, COptionDlg::kIPFilter), 1022)->click();
            FrameTest::FindControl<QCheckBox>(Page(*dialog, COptionDlg::kThrottle), 1035)->setChecked(true);
            FrameTest::FindControl<QLineEdit>(Page(*dialog, COptionDlg::kThrottle), 1036)
                ->setText(QStringLiteral("5"));
            fixture.runner.scripts.push_back([](QDialog& account) {
                FrameTest::FindControl<QLineEdit>(account, 1055)->setText(QStringLiteral("bob"));
                FrameTest::FindControl<QLineEdit>(account, 1057)->setText(QStringLiteral("pw"));
                PressOk(account);
            });
            FrameTest::FindControl<QPushButton>(Page(*dialog, COptionDlg::kAccount), 1054)->click();
            QCOMPARE(fixture.runner.ran.size(), size_t(2));
            QCOMPARE(PressCancel(*dialog), int(QDialog::Rejected));
        }
        QVERIFY(fixture.MountIni() == before);
        QVERIFY(fixture.autostart.registered.empty());
        std::string password;
        QVERIFY(!fixture.Server().GetAccountStore().GetPassword("bob", password));

        // OK without looking at any page: each applies what it showed.
        auto dialog = fixture.OpenDialog();
        QCOMPARE(PressOk(*dialog), int(QDialog::Accepted));
        QCOMPARE(fixture.Config().totalUploadSpeedLimit.load(), 1000);
        QCOMPARE(fixture.Config().port.load(), static_cast<unsigned short>(8080));
        QVERIFY(dialog->GetPage(0).GetWindow() == nullptr); // the pages went with OK
    }

    void aBadPortKeepsTheDialogOpenAndAppliesNothing() {
        PrefsFixture fixture;
        auto dialog = fixture.OpenDialog();
        auto* port = FrameTest::FindControl<QLineEdit>(Page(*dialog, COptionDlg::kServer), 1000);
        FrameTest::FindControl<QCheckBox>(Page(*dialog, COptionDlg::kGeneral), 1002)->setChecked(true);
        // While the box shows, the page with the bad port shows behind it, its field focused.
        bool portShown = false;
        QWidget* focused = nullptr;
        fixture.boxes.whileOpen = [&] {
            portShown = Page(*dialog, COptionDlg::kServer).isVisibleTo(dialog.get());
            focused = dialog->focusWidget();
        };
        for (const char* text : {"", "0", "65536", "70000"}) {
            fixture.boxes.shown.clear();
            port->setText(QString::fromUtf8(text));
            dialog->ShowPage(COptionDlg::kPlugin);
            QCOMPARE(PressOk(*dialog), int(QDialog::Rejected));
            QVERIFY(portShown);
            QCOMPARE(focused, port);
            QCOMPARE(BoxTexts(fixture.boxes), std::vector<QString>{kPortRefused});
            QCOMPARE(fixture.boxes.shown[0].icon, BoxIcon::Warning);
            QVERIFY(!fixture.Config().bootOnTray.load());
            QCOMPARE(fixture.Config().port.load(), static_cast<unsigned short>(8080));
        }
        port->setText(QStringLiteral("65535"));
        QCOMPARE(PressOk(*dialog), int(QDialog::Accepted));
        QCOMPARE(fixture.Config().port.load(), static_cast<unsigned short>(65535));
        QVERIFY(fixture.Config().bootOnTray.load());
    }

    void serverPageShowsTheStateAndTheAddressChoice() {
        PrefsFixture fixture([](QuilloConfig& config) {
            config.getPublicIP = true;
            config.useHostName = true;
            config.preferredLancardAddress.Set("172.16.0.1"); // this host no longer has it
        });
        fixture.Environment().connectionCheck.run = [](const RunningCheckRequest&) { return true; };
        {
            auto dialog = fixture.OpenDialog();
            QWidget& page = Page(*dialog, COptionDlg::kServer);
            QCOMPARE(FrameTest::FindControl<QLineEdit>(page, 1002)->text(), QString());
            QVERIFY(!FrameTest::FindControl<QPushButton>(page, 1015)->isEnabled());
            QVERIFY(FrameTest::FindControl<QRadioButton>(page, 1042)->isChecked());
            QVERIFY(!FrameTest::FindControl<QComboBox>(page, 1045)->isEnabled());
            QCOMPARE(FrameTest::FindControl<QComboBox>(page, 1045)->currentText(),
                     QStringLiteral("192.168.0.10"));
            QCOMPARE(PressOk(*dialog), int(QDialog::Accepted));
        }
        QVERIFY(!fixture.Config().useHostName.load());
        QVERIFY(fixture.Config().getPublicIP.load());
        QCOMPARE(fixture.Config().preferredLancardAddress.Get(), std::string("192.168.0.10"));

        // The dialog stored the 8080 it showed; any free port instead, or runs side by side collide.
        fixture.Config().port = 0;
        QVERIFY(fixture.server.Start());
        auto dialog = fixture.OpenDialog();
        QWidget& page = Page(*dialog, COptionDlg::kServer);
        QCOMPARE(FrameTest::FindControl<QLineEdit>(page, 1002)->text(),
                 QString::number(fixture.server.Port()));
        QVERIFY(FrameTest::FindControl<QPushButton>(page, 1015)->isEnabled());
        FrameTest::FindControl<QRadioButton>(page, 1043)->click();
        QVERIFY(FrameTest::FindControl<QLineEdit>(page, 1005)->isEnabled());
        FrameTest::FindControl<QLineEdit>(page, 1005)->setText(QStringLiteral("files.example.org"));
        QCOMPARE(PressOk(*dialog), int(QDialog::Accepted));
        QVERIFY(fixture.Config().useHostName.load());
        QVERIFY(!fixture.Config().getPublicIP.load());
        QCOMPARE(fixture.Config().HostName.Get(), std::string("files.example.org"));
    }

    void connectionTestAnswersOnTheGuiThread() {
        PrefsFixture fixture;
        QVERIFY(fixture.server.Start());
        std::promise<bool> answer;
        std::shared_future<bool> answered = answer.get_future().share();
        std::atomic<int> cancels{0};
        RunningCheckRequest handed; // read from the server on this thread, for the worker
        fixture.Environment().connectionCheck = {[answered, &handed](const RunningCheckRequest& request) {
                                                     handed = request;
                                                     return answered.get();
                                                 },
                                                 [&cancels] { ++cancels; }};

        auto dialog = fixture.OpenDialog();
        auto* check = FrameTest::FindControl<QPushButton>(Page(*dialog, COptionDlg::kServer), 1015);
        check->click();
        QVERIFY(!check->isEnabled());
        answer.set_value(true);
        QVERIFY(FrameTest::PumpUntil([&] { return !fixture.boxes.shown.empty(); }));
        QCOMPARE(BoxTexts(fixture.boxes),
                 std::vector<QString>{QString::fromUtf8("정상적으로 접속이 가능합니다.")});
        QCOMPARE(fixture.boxes.shown[0].caption, QStringLiteral("Quillo Corvanta"));
        QVERIFY(check->isEnabled());
        QVERIFY(handed.running && handed.port == fixture.Server().GetPort());

        fixture.boxes.shown.clear();
        fixture.Environment().connectionCheck.run = [](const RunningCheckRequest&) { return false; };
        check->click();
        QVERIFY(FrameTest::PumpUntil([&] { return !fixture.boxes.shown.empty(); }));
        QCOMPARE(BoxTexts(fixture.boxes),
                 std::vector<QString>{
                     QString::fromUtf8("접속 테스트에 실패했습니다. 아래 링크의 문서를 참조해 보세요.")});
        QCOMPARE(
            QUrl(fixture.boxes.shown[0].linkAddress).toLocalFile(),
            QString::fromStdString(fixture.server.ProgramFolder() + "/help/server-troubleshooting.html"));
        QVERIFY(QFile::exists(QStringLiteral(CORVANTA_PROGRAM_DIR "/help/server-troubleshooting.html")));

        // The dialog closes while a test waits for its answer: it is cancelled and nothing shows later.
        fixture.boxes.shown.clear();
        std::promise<bool> never;
        std::shared_future<bool> stalled = never.get_future().share();
        fixture.Environment().connectionCheck = {
            [stalled](const RunningCheckRequest&) { return stalled.get(); },
            [&never, &cancels] {
                ++cancels;
                never.set_value(false);
            }};
        check->click();
        QCOMPARE(PressCancel(*dialog), int(QDialog::Rejected));
        QCOMPARE(cancels.load(), 1);
        QCoreApplication::processEvents();
        QVERIFY(fixture.boxes.shown.empty());
    }

    void startWithLoginIsTheXdgAutostartEntry() {
        PrefsFixture fixture;
        QTemporaryDir configHome;
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
        XdgAutostartEntry entry;      // reads XDG_CONFIG_HOME
        fixture.Config().port = 8080; // the dialog is made here, not by OpenDialog
        OptionEnvironment environment = fixture.Environment();
        const ShellPlatform fakes = environment.platform;
        OptionEnvironment real{
            environment.config,
            environment.server,
            environment.skins,
            environment.plugins,
            ShellPlatform{fakes.boxes, fakes.picker, fakes.urlOpener, fakes.tray, entry, fakes.runner},
            environment.programPath,
            environment.programFolder,
            environment.localAddresses,
            {}};
        QString text;
        const auto toggle = [&real, &text](bool tick) {
            COptionDlg dialog(real, nullptr);
            auto* box =
                FrameTest::FindControl<QCheckBox>(*dialog.GetPage(COptionDlg::kGeneral).GetWindow(), 1035);
            text = box->text();
            const bool shown = box->isChecked();
            box->setChecked(tick);
            PressOk(dialog);
            return shown;
        };
        QVERIFY(!toggle(true));
        QCOMPARE(text, QString::fromUtf8("로그인할 때 자동으로 실행"));
        QVERIFY(QFile::exists(QString::fromStdString(entry.FilePath())));
        QVERIFY(entry.IsRegisteredFor(real.programPath));
        QVERIFY(toggle(false));
        QVERIFY(!QFile::exists(QString::fromStdString(entry.FilePath())));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void languageIsStoredByFileName() {
        PrefsFixture fixture([](QuilloConfig& config) { config.uiLanguageFile.Set("English.wul"); });
        CopyLanguageFile(fixture);
        auto dialog = fixture.OpenDialog();
        auto* languages = FrameTest::FindControl<QComboBox>(Page(*dialog, COptionDlg::kLanguage), 1017);
        QCOMPARE(languages->count(), 2);
        QCOMPARE(languages->currentIndex(), 1);
        QCOMPARE(languages->currentText(), QStringLiteral("Language: English"));
        QCOMPARE(languages->currentData().toString(), QStringLiteral("English.wul"));
        // A file that appears while the dialog is open moves no entry: the choice is the entry's own file.
        QFile::copy(QStringLiteral(CORVANTA_SOURCE_DIR "/Language/English.wul"),
                    QString::fromStdString(fixture.server.ProgramFolder() + "/Language/Afrikaans.wul"));
        languages->setCurrentIndex(0);
        QCOMPARE(PressOk(*dialog), int(QDialog::Accepted));
        QCOMPARE(fixture.Config().uiLanguageFile.Get(), std::string());
    }

    void wizardOffersNextOnlyAfterAChoiceAndStoresNothing() {
        PrefsFixture fixture;
        const std::string before = fixture.MountIni();
        auto dialog = fixture.OpenDialog();
        QWidget& general = Page(*dialog, COptionDlg::kGeneral);
        const bool tray = FrameTest::FindControl<QCheckBox>(general, 1002)->isChecked();
        fixture.runner.scripts.push_back([](QDialog& shown) {
            auto& wizard = static_cast<QWizard&>(shown);
            QCOMPARE(wizard.currentId(), int(CWizard::kIntroPage));
            wizard.next();
            QVERIFY(!wizard.currentPage()->isComplete());
            FrameTest::FindControl<QRadioButton>(wizard, 1067)->click();
            QVERIFY(wizard.currentPage()->isComplete());
            wizard.next();
            QCOMPARE(wizard.currentId(), int(CWizard::kOutroPage));
            wizard.back();
            QVERIFY(FrameTest::FindControl<QRadioButton>(wizard, 1067)->isChecked());
            wizard.next();
            wizard.accept();
        });
        FrameTest::FindControl<QPushButton>(general, 1064)->click();
        QCOMPARE(fixture.runner.ran, std::vector<QString>{QStringLiteral("CWizard")});
        QCOMPARE(FrameTest::FindControl<QCheckBox>(general, 1002)->isChecked(), tray);
        QVERIFY(fixture.MountIni() == before);
    }
};

QTEST_MAIN(OptionDlgTest)
#include "OptionDlgTest.moc"
