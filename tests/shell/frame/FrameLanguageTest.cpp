// The UI language the frame loads first: what the frame shows with a language loaded, and with one that
// cannot be loaded.
#include "core/i18n/LocalizationStringTable.h"
#include "shell/dialogs/AboutDlg.h"
#include "shell/dialogs/AuthorityDlg.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/dialogs/InitDlg.h"
#include "shell/dialogs/MountSettingDlg.h"
#include "shell/frame/FrameTestSupport.h"
#include "shell/views/LogView.h"
#include "shell/views/MyTabViewCtrl.h"
#include "shell/views/StatusView.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <string>

using namespace Vuxo;
using namespace Vuxo::FrameTest;

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kGoodFile = kBom + "Quillo Corvanta UI Language File\nx\nTest\nLanguage: Test\n"
                                     "\"꺼짐\" = \"Off\"\n\"켜짐\" = \"On\"\n";

void WriteLanguageFile(const std::string& folder, const std::string& name, const std::string& bytes) {
    QDir().mkpath(QString::fromStdString(folder + "/Language"));
    QFile file(QString::fromStdString(folder + "/Language/" + name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

} // namespace

class FrameLanguageTest : public QObject {
    Q_OBJECT

private slots:
    // The two cases below use the program's own table; the language loaded last stays for the process.
    // Under the offscreen platform nobody could answer the language choice.
    void aLanguageThatCannotBeLoadedWithoutAnyoneToAskKeepsTheBuiltInTextsAndIsLogged() {
        FrameFixture fixture([](QuilloConfig& config) { config.uiLanguageFile.Set("Missing.wul"); }, false);
        fixture.runner.interactive = false;
        fixture.MakeFrame();
        QVERIFY(fixture.runner.ran.empty());
        QCOMPARE(fixture.Frame().GetAction(ID_STARTSTOP)->text(), QString::fromUtf8("꺼짐"));
        QVERIFY(fixture.DayLog().find("Missing.wul") != std::string::npos);
        QCOMPARE(fixture.Config().uiLanguageFile.Get(), std::string("Missing.wul"));
    }

    void aLanguageThatCannotBeLoadedBringsUpTheChoiceAndOkStoresTheFile() {
        FrameFixture fixture([](QuilloConfig& config) { config.uiLanguageFile.Set("Missing.wul"); }, false);
        WriteLanguageFile(fixture.ProgramFolder(), "b.wul", kGoodFile);
        WriteLanguageFile(fixture.ProgramFolder(), "a.wul", kGoodFile);
        WriteLanguageFile(fixture.ProgramFolder(), "bad.wul", kGoodFile.substr(3));
        QStringList listed;
        fixture.runner.scripts.push_back([&](QDialog& dialog) {
            auto* list = FindControl<QComboBox>(dialog, CInitDlg::kLanguageListId);
            for (int i = 0; i < list->count(); ++i) {
                listed << list->itemText(i);
            }
            list->setCurrentIndex(2);
            FindControl<QPushButton>(dialog, IDOK)->click();
        });
        fixture.MakeFrame();
        QCOMPARE(listed, (QStringList{QString::fromUtf8("언어: 한국어 (default)"),
                                      QStringLiteral("Language: Test"), QStringLiteral("Language: Test")}));
        QVERIFY(!fixture.Frame().WasLanguageChoiceCancelled());
        QVERIFY(fixture.Frame().GetServer() != nullptr);
        QCOMPARE(fixture.MountIniValue("uiLanguageFile"), std::string("b.wul"));
        // The choice takes effect at the next start.
        QCOMPARE(fixture.Frame().GetAction(ID_STARTSTOP)->text(), QString::fromUtf8("꺼짐"));
    }

    void cancellingTheChoiceEndsBeforeAnyServerIsMade() {
        FrameFixture fixture([](QuilloConfig& config) { config.uiLanguageFile.Set("../Missing.wul"); },
                             false);
        fixture.runner.scripts.push_back(
            [](QDialog& dialog) { FindControl<QPushButton>(dialog, IDCANCEL)->click(); });
        fixture.MakeFrame();
        QCOMPARE(fixture.runner.ran, std::vector<QString>{QStringLiteral("CInitDlg")});
        QVERIFY(fixture.Frame().WasLanguageChoiceCancelled());
        QVERIFY(fixture.Frame().GetServer() == nullptr);
        QCOMPARE(fixture.DayLog(), std::string());
        fixture.DestroyFrame();
        QCOMPARE(fixture.MountIniValue("uiLanguageFile"), std::string("../Missing.wul"));
    }

    void theFrameShowsTheLoadedLanguage() {
        FrameFixture fixture([](QuilloConfig& config) { config.uiLanguageFile.Set("Test.wul"); }, false);
        WriteLanguageFile(fixture.ProgramFolder(), "Test.wul", kGoodFile);
        fixture.MakeFrame();
        CMainFrame& frame = fixture.Frame();
        QCOMPARE(frame.GetAction(ID_STARTSTOP)->text(), QStringLiteral("Off"));
        QCOMPARE(frame.GetPaneText(kPaneRunning), QStringLiteral("Off"));
        frame.ExecuteCommand(ID_STARTSTOP);
        QCOMPARE(frame.GetAction(ID_STARTSTOP)->text(), QStringLiteral("On"));
        QVERIFY(fixture.DayLog().find("Test.wul") == std::string::npos);
    }

    void theShippedEnglishFileTranslatesTheFrame() {
        FrameFixture fixture([](QuilloConfig& config) { config.uiLanguageFile.Set("English.wul"); }, false);
        QFile shipped(QStringLiteral(CORVANTA_SOURCE_DIR "/Language/English.wul"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        WriteLanguageFile(fixture.ProgramFolder(), "English.wul", shipped.readAll().toStdString());
        fixture.MakeFrame();
        CMainFrame& frame = fixture.Frame();
        QCOMPARE(frame.GetAction(ID_STARTSTOP)->text(), QStringLiteral("Off"));
        QCOMPARE(frame.GetAction(ID_ADD_SHARE)->toolTip(), QStringLiteral("Adds an item to share."));
        QCOMPARE(frame.GetAddressBox().text(), QStringLiteral("Please start the server first"));
        QVERIFY(LocalizationStringTable::GetInstance().GetRefusedKeys().empty());
        emit frame.GetTabView().GetStatusView().transferSummary(2, 4096);
        QCOMPARE(frame.GetPaneText(kPaneConnections), QStringLiteral("2 connection(s)"));
        frame.ExecuteCommand(ID_LOG_FILTER);
        QCOMPARE(fixture.boxes.shown.back().text,
                 QStringLiteral("Sorry, this version does not support this feature."));

        // The dialogs speak the language too.
        QStringList texts;
        fixture.runner.scripts.push_back([&texts](QDialog& dialog) {
            texts << FindControl<QLabel>(dialog, CAboutDlg::kTextId)->text().section(QLatin1Char('\n'), 2, 2)
                  << FindControl<QPushButton>(dialog, IDOK)->text();
        });
        frame.ExecuteCommand(ID_ABOUT_BUTTON);
        QVERIFY(frame.AddShareByPath(fixture.MakeFolder("music")));
        SelectShares(frame, {0});
        fixture.runner.scripts.push_back([&texts, &fixture](QDialog& dialog) {
            texts << dialog.windowTitle() << dialog.findChild<QGroupBox*>()->title()
                  << FindControl<QPushButton>(dialog, IDOK)->text()
                  << FindControl<QTableWidget>(dialog, CMountSettingDlg::kRightsListId)->item(0, 1)->text();
            fixture.runner.scripts.push_back([&texts](QDialog& rights) {
                texts << rights.windowTitle() << FindControl<QLabel>(rights, CAuthorityDlg::kTextId)->text();
            });
            auto* list = FindControl<QTableWidget>(dialog, CMountSettingDlg::kRightsListId);
            list->selectRow(0);
            emit list->itemDoubleClicked(list->item(0, 0));
        });
        frame.ExecuteCommand(ID_SHARE_SETTINGS);
        QCOMPARE(texts,
                 (QStringList{QStringLiteral("An HTTP file-sharing server that shares folders and files "
                                             "with any web browser"),
                              QStringLiteral("OK"), QStringLiteral("Share settings"), QStringLiteral("Alias"),
                              QStringLiteral("&OK"), QStringLiteral("List, Download"),
                              QStringLiteral("Edit rights"),
                              QStringLiteral(".anonymous may take these actions on the share(s) music "
                                             "(tick the ones to allow).")}));
    }
};

QTEST_MAIN(FrameLanguageTest)
#include "FrameLanguageTest.moc"
