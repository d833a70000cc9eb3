// The IP-filter, account, skin and plug-in pages of the preferences (Qt Test, offscreen, scripted through
// the fake dialog runner), checked against the running server over 127.0.0.1.
#include "fixtures/support/DumpPage.h"
#include "fixtures/support/SaveCounter.h"
#include "fixtures/support/TestHttpClient.h"
#include "service/access/IPFilter.h"
#include "service/accounts/AccountStore.h"
#include "service/plugins/PluginManager.h"
#include "service/server/QuilloServer.h"
#include "service/skins/SkinManager.h"
#include "shell/prefs/PrefsTestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>

using namespace Vuxo;
using namespace Vuxo::PrefsTest;
using Vuxo::Fixtures::HttpGet;

namespace {

QWidget& Page(COptionDlg& dialog, int index) {
    return *dialog.GetPage(index).GetWindow();
}

std::vector<QString> Column(const QTreeWidget& list, int column) {
    std::vector<QString> texts;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        texts.push_back(list.topLevelItem(row)->text(column));
    }
    return texts;
}

int Selected(const QTreeWidget& list) {
    const auto items = list.selectedItems();
    return items.isEmpty() ? -1 : list.indexOfTopLevelItem(items.first());
}

void Select(QTreeWidget& list, int row) {
    list.setCurrentItem(list.topLevelItem(row));
}

// The rule or account dialog: each (first, second) typed in turn with OK pressed; every pair but the last
// must be refused with `refusal`.
FrameTest::FakeModalRunner::Script TypeAndOk(FrameTest::FakeBoxes& boxes, int firstId, int secondId,
                                             std::vector<std::pair<QString, QString>> tries,
                                             QString refusal) {
    return [=, &boxes](QDialog& dialog) {
        for (size_t i = 0; i < tries.size(); ++i) {
            boxes.shown.clear();
            FrameTest::FindControl<QLineEdit>(dialog, firstId)->setText(tries[i].first);
            if (secondId != 0) {
                FrameTest::FindControl<QLineEdit>(dialog, secondId)->setText(tries[i].second);
            }
            const int result = PressOk(dialog);
            if (i + 1 < tries.size()) {
                [&] {
                    QCOMPARE(result, int(QDialog::Rejected));
                    QCOMPARE(BoxTexts(boxes), std::vector<QString>{refusal});
                }();
            }
        }
    };
}

} // namespace

class ListPagesTest : public QObject {
    Q_OBJECT

private slots:
    void ipRulesAreEditedInOrderAndTheRunningFilterFollows() {
        PrefsFixture fixture([](QuilloConfig& config) {
            config.ipFilterTable = {"127.*.*.*:allow", "10.1.1.1:ban", "10.2.2.2:allow"};
        });
        QVERIFY(!fixture.server.MakeShare("pub").empty());
        QVERIFY(fixture.server.Start());
        auto dialog = fixture.OpenDialog();
        QWidget& page = Page(*dialog, COptionDlg::kIPFilter);
        auto* rules = FrameTest::FindControl<QTreeWidget>(page, 1021);
        auto* up = FrameTest::FindControl<QPushButton>(page, 1025);
        auto* down = FrameTest::FindControl<QPushButton>(page, 1026);
        QCOMPARE(Column(*rules, 1),
                 (std::vector<QString>{QString::fromUtf8("허용"), QString::fromUtf8("금지"),
                                       QString::fromUtf8("허용")}));
        QVERIFY(!FrameTest::FindControl<QPushButton>(page, 1023)->isEnabled());

        // The rule dialog refuses two and four dots; a new rule goes to the end.
        fixture.runner.scripts.push_back([boxes = &fixture.boxes](QDialog& rule) {
            FrameTest::FindControl<QRadioButton>(rule, 1030)->click();
            TypeAndOk(*boxes, 1028, 0, {{"1.2.3", ""}, {"1.2.3.4.5", ""}, {"127.0.0.1", ""}},
                      QString::fromUtf8("형식에 맞지 않는 IP 패턴입니다!"))(rule);
        });
        FrameTest::FindControl<QPushButton>(page, 1022)->click();
        QCOMPARE(Column(*rules, 0), (std::vector<QString>{"127.*.*.*", "10.1.1.1", "10.2.2.2", "127.0.0.1"}));

        // Delete selects the rule that moved into the place; deleting the last selects nothing.
        Select(*rules, 1);
        fixture.boxes.answers = {BoxAnswer::Yes, BoxAnswer::Yes};
        FrameTest::FindControl<QPushButton>(page, 1024)->click();
        QCOMPARE(Column(*rules, 0), (std::vector<QString>{"127.*.*.*", "10.2.2.2", "127.0.0.1"}));
        QCOMPARE(Selected(*rules), 1);
        FrameTest::FindControl<QPushButton>(page, 1024)->click();
        QCOMPARE(Selected(*rules), 1);
        QCOMPARE(Column(*rules, 0), (std::vector<QString>{"127.*.*.*", "127.0.0.1"}));

        // At the top Up, at the bottom Down do nothing; the ban moved above the allow decides.
        QVERIFY(!down->isEnabled());
        down->click();
        Select(*rules, 0);
        QVERIFY(!up->isEnabled());
        up->click();
        QCOMPARE(Column(*rules, 0), (std::vector<QString>{"127.*.*.*", "127.0.0.1"}));
        Select(*rules, 1);
        up->click();
        QCOMPARE(Column(*rules, 0), (std::vector<QString>{"127.0.0.1", "127.*.*.*"}));
        QCOMPARE(Selected(*rules), 0);

        const auto refused = [&fixture] {
            const auto r = HttpGet(fixture.server.Port(), "/pub/");
            return r.status == 200 && Fixtures::DumpPage(r.body).Get("content") == "403 Forbidden";
        };
        QVERIFY(!refused());
        QCOMPARE(PressOk(*dialog), int(QDialog::Accepted));
        QVERIFY(refused());
        std::vector<IPFilterRule> stored;
        fixture.Server().GetIPFilter().GetIPFilterRules(stored);
        QCOMPARE(stored, (std::vector<IPFilterRule>{{false, "127.0.0.1"}, {true, "127.*.*.*"}}));
    }

    void accountsAreCheckedAndAppliedInOneSave() {
        PrefsFixture fixture;
        QVERIFY(!fixture.server.MakeShare("pub").empty());
        QVERIFY(fixture.server.AddUser("admin", "pw1"));
        QVERIFY(fixture.server.Start());
        auto dialog = fixture.OpenDialog();
        QWidget& page = Page(*dialog, COptionDlg::kAccount);
        auto* accounts = FrameTest::FindControl<QTreeWidget>(page, 1050);
        auto* add = FrameTest::FindControl<QPushButton>(page, 1054);
        QCOMPARE(Column(*accounts, 0), (std::vector<QString>{".anonymous", "admin"}));
        QCOMPARE(Column(*accounts, 1), (std::vector<QString>{"", "pw1"}));

        // ".anonymous" can be neither changed nor deleted.
        Select(*accounts, 0);
        QVERIFY(!FrameTest::FindControl<QPushButton>(page, 1055)->isEnabled());
        QVERIFY(!FrameTest::FindControl<QPushButton>(page, 1056)->isEnabled());
        Select(*accounts, 1);
        QVERIFY(FrameTest::FindControl<QPushButton>(page, 1056)->isEnabled());

        // A double-click is Modify, as on the IP rules.
        QString editing; // the name, shown read-only
        fixture.runner.scripts.push_back([&editing](QDialog& account) {
            auto* name = FrameTest::FindControl<QLineEdit>(account, 1055);
            editing = name->isReadOnly() ? name->text() : QString();
        });
        emit accounts->itemDoubleClicked(accounts->topLevelItem(1), 0);
        QCOMPARE(editing, QStringLiteral("admin"));
        Select(*accounts, 0);
        emit accounts->itemDoubleClicked(accounts->topLevelItem(0), 0);
        QCOMPARE(BoxTexts(fixture.boxes),
                 std::vector<QString>{QString::fromUtf8("수정이 불가능한 항목입니다!")});

        fixture.runner.scripts.push_back(TypeAndOk(fixture.boxes, 1055, 1057, {{"Admin", "x"}}, QString()));
        add->click();
        QCOMPARE(BoxTexts(fixture.boxes),
                 std::vector<QString>{QString::fromUtf8("같은 이름의 계정이 이미 존재합니다!")});
        fixture.runner.scripts.push_back(
            TypeAndOk(fixture.boxes, 1055, 1057, {{"bob", ""}, {"", "pw"}},
                      QString::fromUtf8("계정 설정에 필요한 항목을 적어주십시오!")));
        add->click();
        QCOMPARE(BoxTexts(fixture.boxes),
                 std::vector<QString>{QString::fromUtf8("계정 설정에 필요한 항목을 적어주십시오!")});
        fixture.runner.scripts.push_back(TypeAndOk(fixture.boxes, 1055, 1057,
                                                   {{"b ob", "pw"},
                                                    {".", "pw"},
                                                    {QString::fromUtf8("한글"), "pw"},
                                                    {"bob", "p.w"},
                                                    {"bob", "s3cret"}},
                                                   QString::fromUtf8("영어 또는 숫자만 가능합니다!")));
        add->click();
        QCOMPARE(Column(*accounts, 0), (std::vector<QString>{".anonymous", "admin", "bob"}));

        const auto status = [&fixture](const std::string& user, const std::string& password) {
            return HttpGet(fixture.server.Port(), "/pub/", Fixtures::BasicAuthorization(user, password))
                .status;
        };
        QCOMPARE(status("bob", "s3cret"), 401); // not before OK
        Fixtures::SaveCounter saves(fixture.server.ProgramFolder(), QuilloConfig::kFileName);
        QCOMPARE(PressOk(*dialog), int(QDialog::Accepted));
        QCOMPARE(saves.Count(), 1);
        QCOMPARE(status("bob", "s3cret"), 200);
        QCOMPARE(status("bob", ""), 401);
        QCOMPARE(status("admin", "pw1"), 200);
    }

    void skinAndPluginPagesListWhatIsLoaded() {
        PrefsFixture fixture;
        PluginManager& plugins = PluginManager::GetInstance();
        QVERIFY(plugins.LoadPlugin(CORVANTA_PROGRAM_DIR "/plugin/Kestrin/Kestrin.so"));
        auto dialog = fixture.OpenDialog();
        auto* skins = FrameTest::FindControl<QTreeWidget>(Page(*dialog, COptionDlg::kSkin), 1062);
        const std::vector<QString> names = Column(*skins, 0);
        QVERIFY(std::is_sorted(names.begin(), names.end()));
        QVERIFY(names.size() >= 2);
        QCOMPARE(skins->selectedItems().value(0)->text(0), QStringLiteral("skin-dump"));
        const auto record = plugins.GetPlugin("Kestrin");
        QVERIFY(record != nullptr);
        auto* listed = FrameTest::FindControl<QTreeWidget>(Page(*dialog, COptionDlg::kPlugin), 1067);
        QCOMPARE(listed->topLevelItemCount(), 1);
        QCOMPARE(listed->topLevelItem(0)->text(0), QString::fromStdString(record->GetName()));
        QCOMPARE(listed->topLevelItem(0)->text(1), QString::fromStdString(record->GetVersion()));
        QCOMPARE(listed->topLevelItem(0)->text(2), QString::fromStdString(record->GetAuthor()));
        plugins.UnloadAll();

        // No row selected: an empty default skin is stored and the skin manager keeps its default.
        skins->clearSelection();
        const std::string managerDefault = SkinManager::GetInstance().GetDefaultSkin();
        QCOMPARE(PressOk(*dialog), int(QDialog::Accepted));
        QCOMPARE(fixture.Config().defaultSkin.Get(), std::string());
        QCOMPARE(SkinManager::GetInstance().GetDefaultSkin(), managerDefault);

        auto again = fixture.OpenDialog();
        skins = FrameTest::FindControl<QTreeWidget>(Page(*again, COptionDlg::kSkin), 1062);
        QCOMPARE(Selected(*skins), 0);
        Select(*skins, static_cast<int>(std::find(names.begin(), names.end(), "skin-dump") - names.begin()));
        QCOMPARE(PressOk(*again), int(QDialog::Accepted));
        QCOMPARE(fixture.Config().defaultSkin.Get(), std::string("skin-dump"));
        QCOMPARE(SkinManager::GetInstance().GetDefaultSkin(), std::string("skin-dump"));
    }
};

QTEST_MAIN(ListPagesTest)
#include "ListPagesTest.moc"
