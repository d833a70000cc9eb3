// The small dialogs, run through the scripted runner: the about box from the toolbar and the tray menu,
// the check box and the link box answer as their buttons say, and TranslateDialog translates a dialog's
// labels and buttons once and leaves what the user typed alone.
#include "core/i18n/LocalizationStringTable.h"
#include "shell/dialogs/AboutDlg.h"
#include "shell/dialogs/CheckMessageBox.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/dialogs/TranslateDialog.h"
#include "shell/dialogs/UrlMessageBox.h"
#include "shell/frame/FrameTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <sstream>

using namespace Vuxo;
using namespace Vuxo::FrameTest;

class SmallDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void theAboutBoxNamesTheRevisionAndOpensItsLinkFromTheToolbarAndTheTray() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        QVERIFY(frame.GetAction(ID_ABOUT_BUTTON)->isEnabled());
        QString text;
        fixture.runner.scripts.push_back([&](QDialog& dialog) {
            text = FindControl<QLabel>(dialog, CAboutDlg::kTextId)->text();
            emit FindControl<QLabel>(dialog, CAboutDlg::kLinkId)->linkActivated(QString());
            FindControl<QPushButton>(dialog, IDOK)->click();
        });
        frame.GetAction(ID_ABOUT_BUTTON)->trigger();
        QCOMPARE(text.section(QLatin1Char('\n'), 0, 0), QStringLiteral("Quillo Corvanta 0.943 rev 1095"));
        // The whole text, longer than the 127 characters a fixed buffer would keep.
        QVERIFY(text.size() > 127);
        QVERIFY(text.endsWith(QString::fromUtf8("실시간으로 볼 수 있습니다.")));
        QCOMPARE(fixture.urlOpener.opened,
                 std::vector<QString>{QString::fromUtf8(CAboutDlg::kHomepageAddress)});

        for (QAction* action : frame.GetTrayMenu().actions()) {
            if (action->data().toInt() == ID_APP_ABOUT) {
                QVERIFY(action->isEnabled());
                action->trigger();
            }
        }
        QCOMPARE(fixture.runner.ran,
                 (std::vector<QString>{QStringLiteral("CAboutDlg"), QStringLiteral("CAboutDlg")}));
    }

    void theCheckBoxIsReportedWhicheverWayTheBoxCloses_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("check");
        QTest::addColumn<int>("answer");
        QTest::newRow("yes, checked") << "yes" << true << int(IDYES);
        QTest::newRow("no, checked") << "no" << true << int(IDNO);
        QTest::newRow("close button, checked") << "close" << true << int(IDNO);
        QTest::newRow("close button, not checked") << "close" << false << int(IDNO);
    }

    void theCheckBoxIsReportedWhicheverWayTheBoxCloses() {
        QFETCH(QString, how);
        QFETCH(bool, check);
        QFETCH(int, answer);
        FakeModalRunner runner;
        QString text;
        runner.scripts.push_back([&](QDialog& dialog) {
            text = FindControl<QLabel>(dialog, CCheckMessageBox::kTextId)->text();
            FindControl<QCheckBox>(dialog, CCheckMessageBox::kCheckId)->setChecked(check);
            if (how == QStringLiteral("yes")) {
                FindControl<QPushButton>(dialog, IDOK)->click();
            } else if (how == QStringLiteral("no")) {
                FindControl<QPushButton>(dialog, IDCANCEL)->click();
            } else {
                dialog.close();
            }
        });
        bool checked = !check;
        QCOMPARE(ShowCheckMessageBox(runner, nullptr, QStringLiteral("End them?"), QStringLiteral("Ban"),
                                     QStringLiteral("Disconnect"), checked),
                 answer);
        QCOMPARE(checked, check);
        QCOMPARE(text, QStringLiteral("End them?"));
    }

    void theLinkBoxsVisibleButtonAnswersNoAndTheLinkOpensItsAddress() {
        FakeModalRunner runner;
        FakeUrlOpener opener;
        bool hiddenYes = false;
        QString buttonText;
        runner.scripts.push_back([&](QDialog& dialog) {
            auto* link = FindControl<QLabel>(dialog, CUrlMessageBox::kLinkId);
            QVERIFY(link->text().contains(QStringLiteral("Revision page")));
            emit link->linkActivated(QStringLiteral("ignored"));
            hiddenYes = !FindControl<QPushButton>(dialog, IDOK)->isVisible();
            auto* ok = FindControl<QPushButton>(dialog, IDCANCEL);
            buttonText = ok->text();
            ok->click();
        });
        QCOMPARE(ShowUrlMessageBox(runner, opener, nullptr, QStringLiteral("A new revision is out."),
                                   QStringLiteral("Revision page"),
                                   QStringLiteral("http://127.0.0.1:1/r?a&b"),
                                   QStringLiteral("Quillo Corvanta")),
                 int(IDNO));
        QVERIFY(hiddenYes);
        QCOMPARE(buttonText, QString::fromUtf8("확인"));
        QCOMPARE(opener.opened, std::vector<QString>{QStringLiteral("http://127.0.0.1:1/r?a&b")});
    }

    void translateDialogTranslatesLabelsAndButtonsOnceAndNeverWhatWasTyped() {
        LocalizationStringTable table;
        // "B" is the translation of "A" and a key itself: a text is looked up once, so "A" shows as "B".
        std::istringstream body("\"사용자\" = \"User\"\n\"확인\" = \"OK\"\n\"A\" = \"B\"\n\"B\" = \"C\"\n"
                                "\"별칭\" = \"Alias\"\n\"host\" = \"translated host\"\n");
        QVERIFY(table.Load(body));
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("A"));
        auto* group = new QGroupBox(QString::fromUtf8("별칭"), &dialog);
        auto* inner = new QVBoxLayout(group);
        auto* label = new QLabel(QString::fromUtf8("사용자"), group);
        auto* twice = new QLabel(QStringLiteral("A"), group);
        auto* edit = new QLineEdit(QStringLiteral("host"), group);
        auto* combo = new QComboBox(group);
        combo->addItem(QStringLiteral("host"));
        auto* unknown = new QLabel(QStringLiteral("not a key"), group);
        inner->addWidget(label);
        inner->addWidget(twice);
        inner->addWidget(edit);
        inner->addWidget(combo);
        inner->addWidget(unknown);
        auto* button = new QPushButton(QString::fromUtf8("확인"), &dialog);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(group);
        layout->addWidget(button);

        TranslateDialog(dialog, table);
        QCOMPARE(label->text(), QStringLiteral("User"));
        QCOMPARE(button->text(), QStringLiteral("OK"));
        QCOMPARE(group->title(), QStringLiteral("Alias"));
        QCOMPARE(twice->text(), QStringLiteral("B"));
        QCOMPARE(edit->text(), QStringLiteral("host"));
        QCOMPARE(combo->itemText(0), QStringLiteral("host"));
        QCOMPARE(unknown->text(), QStringLiteral("not a key"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("A"));
    }
};

QTEST_MAIN(SmallDialogsTest)
#include "SmallDialogsTest.moc"
