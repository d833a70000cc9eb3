// The share-settings and rights dialogs opened by the frame's command, scripted through the fake runner:
// mixed rights stay as they are, an edited row reaches every selected share, the alias renames a single
// share only, Cancel changes nothing on disk, and the rights dialog offers what the share can take and
// asks before it grants the manage right.
#include "service/accounts/AccountStore.h"
#include "service/mounts/MountManager.h"
#include "service/server/QuilloServer.h"
#include "shell/dialogs/AuthorityDlg.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/dialogs/MountSettingDlg.h"
#include "shell/frame/FrameTestSupport.h"
#include "shell/views/MountView.h"
#include "shell/views/MyTabViewCtrl.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <string>
#include <vector>

using namespace Vuxo;
using namespace Vuxo::FrameTest;

namespace {

const QString kList = QString::fromUtf8("목록 보기");
const QString kDownload = QString::fromUtf8("다운로드");
const QString kManage = QString::fromUtf8("관리");

// A frame with the folder shares "A" and "B", the file share "f.txt" and the account "bob", who may list
// and download on A and only list on B.
class Setup {
public:
    Setup() {
        CMainFrame& frame = fixture.Frame();
        QVERIFY(frame.AddShareByPath(fixture.MakeFolder("A")));
        QVERIFY(frame.AddShareByPath(fixture.MakeFolder("B")));
        QVERIFY(frame.AddShareByPath(fixture.MakeFile("f.txt", "f")));
        QVERIFY(Accounts().AddUser("bob", "pw"));
        QVERIFY(Accounts().SetAuthority("bob", "A", ParseRights("LD")));
        QVERIFY(Accounts().SetAuthority("bob", "B", ParseRights("L")));
    }

    AccountStore& Accounts() { return fixture.Frame().GetServer()->GetAccountStore(); }
    std::string Rights(const std::string& account, const std::string& share) {
        AuthoritySet rights;
        return Accounts().GetAuthority(account, share, rights) ? FormatRights(rights) : "(none)";
    }
    std::vector<std::string> Shares() {
        std::vector<std::string> names;
        fixture.Frame().GetServer()->GetMountManager().ListMountNames(names);
        return names;
    }
    // Selects the shares at these rows and runs the command with `script` on the dialog.
    void OpenSettings(const std::vector<int>& rows, FakeModalRunner::Script script) {
        SelectShares(fixture.Frame(), rows);
        fixture.runner.scripts.push_back(std::move(script));
        fixture.Frame().ExecuteCommand(ID_SHARE_SETTINGS);
    }

    FrameFixture fixture;
};

QTableWidget& RightsList(QDialog& dialog) {
    return *FindControl<QTableWidget>(dialog, CMountSettingDlg::kRightsListId);
}

int RowOf(QDialog& dialog, const QString& account) {
    QTableWidget& list = RightsList(dialog);
    for (int row = 0; row < list.rowCount(); ++row) {
        if (list.item(row, 0)->text() == account) {
            return row;
        }
    }
    return -1;
}

QString ActionsOf(QDialog& dialog, const QString& account) {
    const int row = RowOf(dialog, account);
    return row < 0 ? QStringLiteral("(no row)") : RightsList(dialog).item(row, 1)->text();
}

// Double-clicks the account's row; `script` runs the rights dialog that opens.
void EditRow(Setup& setup, QDialog& dialog, const QString& account, FakeModalRunner::Script script) {
    QTableWidget& list = RightsList(dialog);
    const int row = RowOf(dialog, account);
    list.selectRow(row);
    setup.fixture.runner.scripts.push_front(std::move(script));
    emit list.itemDoubleClicked(list.item(row, 0));
}

QStringList Offered(QDialog& rights) {
    auto* list = FindControl<QTableWidget>(rights, CAuthorityDlg::kCheckListId);
    QStringList names;
    for (int row = 0; row < list->rowCount(); ++row) {
        names << list->item(row, 0)->text();
    }
    return names;
}

void SetChecked(QDialog& rights, const QString& name, bool checked) {
    auto* list = FindControl<QTableWidget>(rights, CAuthorityDlg::kCheckListId);
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->item(row, 0)->text() == name) {
            list->item(row, 0)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        }
    }
}

void Press(QDialog& dialog, int id) {
    FindControl<QPushButton>(dialog, id)->click();
}

} // namespace

class ShareSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void mixedRightsShowAsAQuestionMarkAndOkLeavesThem() {
        Setup setup;
        QString shown;
        QString anonymous;
        bool aliasEnabled = true;
        QString alias;
        setup.OpenSettings({0, 1}, [&](QDialog& dialog) {
            shown = ActionsOf(dialog, QStringLiteral("bob"));
            anonymous = ActionsOf(dialog, QStringLiteral(".anonymous"));
            auto* edit = FindControl<QLineEdit>(dialog, CMountSettingDlg::kAliasId);
            aliasEnabled = edit->isEnabled();
            alias = edit->text();
            Press(dialog, IDOK);
        });
        QCOMPARE(setup.fixture.runner.ran, std::vector<QString>{QStringLiteral("CMountSettingDlg")});
        QCOMPARE(shown, QStringLiteral("?"));
        QCOMPARE(anonymous, kList + QStringLiteral(", ") + kDownload);
        QVERIFY(!aliasEnabled);
        QCOMPARE(alias, QStringLiteral("A, B"));
        QCOMPARE(setup.Rights("bob", "A"), std::string("LD"));
        QCOMPARE(setup.Rights("bob", "B"), std::string("L"));
        QCOMPARE(setup.Shares(), (std::vector<std::string>{"A", "B", "f.txt"}));
    }

    void anEditedRowReachesEverySelectedShare() {
        Setup setup;
        QString after;
        setup.OpenSettings({0, 1}, [&](QDialog& dialog) {
            EditRow(setup, dialog, QStringLiteral("bob"), [](QDialog& rights) {
                QCOMPARE(Offered(rights),
                         (QStringList{kList, kDownload, QString::fromUtf8("업로드"), kManage}));
                SetChecked(rights, kDownload, false);
                Press(rights, IDOK);
            });
            after = ActionsOf(dialog, QStringLiteral("bob"));
            Press(dialog, IDOK);
        });
        QCOMPARE(after, kList);
        QCOMPARE(setup.Rights("bob", "A"), std::string("L"));
        QCOMPARE(setup.Rights("bob", "B"), std::string("L"));
        QCOMPARE(setup.Rights(".anonymous", "A"), std::string("LD"));
    }

    void cancelLeavesMountIniByteForByte() {
        Setup setup;
        const std::string before = setup.fixture.MountIni();
        setup.OpenSettings({0}, [&](QDialog& dialog) {
            EditRow(setup, dialog, QStringLiteral("bob"), [](QDialog& rights) {
                SetChecked(rights, kList, false);
                Press(rights, IDOK);
            });
            FindControl<QLineEdit>(dialog, CMountSettingDlg::kAliasId)->setText(QStringLiteral("renamed"));
            Press(dialog, IDCANCEL);
        });
        QCOMPARE(setup.fixture.MountIni(), before);
        QCOMPARE(setup.Rights("bob", "A"), std::string("LD"));
    }

    void aSingleShareIsRenamedAndAnEmptyAliasIsRefused() {
        Setup setup;
        setup.OpenSettings({1}, [](QDialog& dialog) {
            FindControl<QLineEdit>(dialog, CMountSettingDlg::kAliasId)->setText(QString::fromUtf8("새 이름"));
            Press(dialog, IDOK);
        });
        QCOMPARE(setup.Shares(), (std::vector<std::string>{"A", "f.txt", "새 이름"}));
        QCOMPARE(setup.fixture.Frame().GetTabView().GetMountView().GetItemAlias(1), std::string("새 이름"));
        QCOMPARE(setup.Rights("bob", "새 이름"), std::string("L")); // the rights follow the share

        setup.OpenSettings({0}, [](QDialog& dialog) {
            FindControl<QLineEdit>(dialog, CMountSettingDlg::kAliasId)->clear();
            Press(dialog, IDOK);
        });
        QCOMPARE(setup.Shares(), (std::vector<std::string>{"A", "f.txt", "새 이름"}));
        QCOMPARE(setup.fixture.boxes.shown.back().text,
                 QString::fromUtf8("공유 항목의 이름을 입력해 주십시오."));
    }

    void withoutASelectionTheCommandWarns() {
        Setup setup;
        SelectShares(setup.fixture.Frame(), {});
        setup.fixture.Frame().ExecuteCommand(ID_SHARE_SETTINGS);
        QVERIFY(setup.fixture.runner.ran.empty());
        QCOMPARE(setup.fixture.boxes.shown.back().text, QString::fromUtf8("공유 항목을 선택해 주세요!"));
        QCOMPARE(setup.fixture.boxes.shown.back().icon, BoxIcon::Warning);
    }

    void aFileShareOffersDownloadAndManageAndShowsWhatTheStoreKeeps() {
        Setup setup;
        QString after;
        QStringList offered;
        setup.OpenSettings({2}, [&](QDialog& dialog) {
            EditRow(setup, dialog, QStringLiteral("bob"), [&](QDialog& rights) {
                offered = Offered(rights);
                SetChecked(rights, kDownload, false);
                Press(rights, IDOK);
            });
            after = ActionsOf(dialog, QStringLiteral("bob"));
            Press(dialog, IDOK);
        });
        QCOMPARE(offered, (QStringList{kDownload, kManage}));
        QCOMPARE(after, kList);
        QCOMPARE(setup.Rights("bob", "f.txt"), std::string("L"));
    }

    void grantingManageAsksAndNoKeepsTheRightsDialogOpen() {
        Setup setup;
        bool openAfterNo = false;
        QString after;
        QString none;
        setup.OpenSettings({0}, [&](QDialog& dialog) {
            EditRow(setup, dialog, QStringLiteral("bob"), [&](QDialog& rights) {
                SetChecked(rights, kManage, true);
                setup.fixture.boxes.answers = {BoxAnswer::No, BoxAnswer::Yes};
                Press(rights, IDOK);
                openAfterNo = rights.isVisible();
                Press(rights, IDOK);
            });
            after = ActionsOf(dialog, QStringLiteral("bob"));
            EditRow(setup, dialog, QStringLiteral(".anonymous"), [](QDialog& rights) {
                SetChecked(rights, kList, false);
                SetChecked(rights, kDownload, false);
                Press(rights, IDOK);
            });
            none = ActionsOf(dialog, QStringLiteral(".anonymous"));
            Press(dialog, IDOK);
        });
        QVERIFY(openAfterNo);
        QCOMPARE(setup.fixture.boxes.shown.size(), size_t(2));
        QCOMPARE(setup.fixture.boxes.shown.front().buttons, BoxButtons::YesNo);
        QCOMPARE(after, kList + QStringLiteral(", ") + kDownload + QStringLiteral(", ") + kManage);
        QCOMPARE(none, QString());
        QCOMPARE(setup.Rights("bob", "A"), std::string("LDA"));
        QCOMPARE(setup.Rights(".anonymous", "A"), std::string(""));
    }

    void theShareListsDoubleClickAndMenuOpenTheSettings() {
        Setup setup;
        CMountView& view = setup.fixture.Frame().GetTabView().GetMountView();
        SelectShares(setup.fixture.Frame(), {0});
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {},
                           view.visualRect(view.model()->index(0, 0)).center());
        std::unique_ptr<QMenu> menu(view.CreateContextMenu(nullptr));
        for (QAction* action : menu->actions()) {
            if (action->data().toInt() == ID_SHARE_SETTINGS) {
                action->trigger();
            }
        }
        QCOMPARE(setup.fixture.runner.ran, (std::vector<QString>{QStringLiteral("CMountSettingDlg"),
                                                                 QStringLiteral("CMountSettingDlg")}));
    }
};

QTEST_MAIN(ShareSettingsTest)
#include "ShareSettingsTest.moc"
