// The UI language the frame loads first: what the frame shows with a language loaded, and with one that
// cannot be loaded; in English no window, dialog or page shows a Korean text.
#include "core/i18n/LocalizationStringTable.h"
#include "service/plugins/PluginManager.h"
#include "shell/dialogs/AboutDlg.h"
#include "shell/dialogs/AuthorityDlg.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/dialogs/InitDlg.h"
#include "shell/dialogs/MountSettingDlg.h"
#include "shell/frame/FrameTestSupport.h"
#include "shell/prefs/COptionDlg.h"
#include "shell/views/LogView.h"
#include "shell/views/MyTabViewCtrl.h"
#include "shell/views/StatusView.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QWizard>

#include <string>
#include <utility>

using namespace Vuxo;
using namespace Vuxo::FrameTest;

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kGoodFile = kBom + "Quillo Corvanta UI Language File\nx\nTest\nLanguage: Test\n"
                                     "\"꺼짐\" = \"Off\"\n\"켜짐\" = \"On\"\n";
const QRegularExpression kHangul("[\\x{1100}-\\x{11FF}\\x{3130}-\\x{318F}\\x{AC00}-\\x{D7AF}]");

// The texts of `window` that a user can read now and that hold Hangul: of every widget shown below it, its
// text, title, tool tip or current entry, and a list's headers and cells.
QStringList KoreanTexts(QWidget& window) {
    QStringList texts{window.windowTitle()};
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        for (const char* property : {"text", "title", "toolTip", "currentText"}) {
            texts << (widget->isVisibleTo(&window) ? widget->property(property).toString() : QString());
        }
        if (auto* view = qobject_cast<QAbstractItemView*>(widget);
            view && view->model() && view->isVisibleTo(&window)) {
            const QAbstractItemModel& model = *view->model();
            for (int column = 0; column < model.columnCount(); ++column) {
                texts << model.headerData(column, Qt::Horizontal).toString();
                for (int row = 0; row < model.rowCount(); ++row) {
                    texts << model.index(row, column).data().toString();
                }
            }
        }
    }
    return texts.filter(kHangul);
}

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
        // The plug-ins name themselves in the built-in language.
        for (const std::string id : {"Kestrin", "Mevrin", "Tolvane", "Vondel"}) {
            QVERIFY(PluginManager::GetInstance().LoadPlugin(CORVANTA_PROGRAM_DIR "/plugin/" + id + "/" + id +
                                                            ".so"));
        }
        // No window, dialog or page shows a Korean text.
        QStringList korean = KoreanTexts(frame);
        const auto sweep = [&korean](QDialog& dialog) { korean << KoreanTexts(dialog); };
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
        fixture.runner.scripts.push_back([&texts, &sweep](QDialog& dialog) {
            sweep(dialog);
            texts << FindControl<QLabel>(dialog, CAboutDlg::kTextId)->text().section(QLatin1Char('\n'), 2, 2)
                  << FindControl<QPushButton>(dialog, IDOK)->text();
        });
        frame.ExecuteCommand(ID_ABOUT_BUTTON);
        QVERIFY(frame.AddShareByPath(fixture.MakeFolder("music")));
        SelectShares(frame, {0});
        fixture.runner.scripts.push_back([&](QDialog& dialog) {
            sweep(dialog);
            texts << dialog.windowTitle() << dialog.findChild<QGroupBox*>()->title()
                  << FindControl<QPushButton>(dialog, IDOK)->text()
                  << FindControl<QTableWidget>(dialog, CMountSettingDlg::kRightsListId)->item(0, 1)->text();
            fixture.runner.scripts.push_back([&](QDialog& rights) {
                sweep(rights);
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

        // Every page of the preferences, the wizard page by page, the rule and account dialogs refusing
        // their empty fields.
        fixture.runner.scripts.push_back([&](QDialog& shown) {
            auto& dialog = static_cast<COptionDlg&>(shown);
            for (int page = 0; page < dialog.GetPageCount(); ++page) {
                dialog.ShowPage(page);
                sweep(dialog);
            }
            fixture.runner.scripts.push_back([&sweep](QDialog& wizard) {
                for (int page = 0; page < 3; ++page, static_cast<QWizard&>(wizard).next()) {
                    sweep(wizard);
                    FindControl<QRadioButton>(wizard, 1066)->click();
                }
            });
            FindControl<QPushButton>(*dialog.GetPage(COptionDlg::kGeneral).GetWindow(), 1064)->click();
            for (const auto& [page, add] :
                 {std::pair{COptionDlg::kIPFilter, 1022}, std::pair{COptionDlg::kAccount, 1054}}) {
                fixture.runner.scripts.push_back([&sweep](QDialog& small) {
                    sweep(small);
                    FindControl<QPushButton>(small, IDOK)->click();
                });
                FindControl<QPushButton>(*dialog.GetPage(page).GetWindow(), add)->click();
            }
        });
        frame.ExecuteCommand(ID_PREFERENCES);
        QCOMPARE(fixture.runner.ran.size(), size_t(7)); // about, share settings, rights, these four
        for (const FakeBoxes::Box& box : fixture.boxes.shown) {
            korean << QStringList{box.text, box.caption}.filter(kHangul);
        }
        QVERIFY2(korean.isEmpty(), qPrintable(korean.join(QLatin1Char('\n'))));
        PluginManager::GetInstance().UnloadAll();
    }
};

QTEST_MAIN(FrameLanguageTest)
#include "FrameLanguageTest.moc"
