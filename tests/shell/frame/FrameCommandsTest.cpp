// The main frame's commands on shares, addresses and transfers, through the fake picker, boxes, clipboard
// and URL opener, with mount.ini checked on disk after every change.
#include "core/transfer/TransferStatusAggregator.h"
#include "service/access/IPFilter.h"
#include "service/mounts/MountManager.h"
#include "service/server/QuilloServer.h"
#include "shell/frame/DriveRoot.h"
#include "shell/frame/FrameTestSupport.h"
#include "shell/views/LogView.h"
#include "shell/views/MountView.h"
#include "shell/views/MyTabViewCtrl.h"
#include "shell/views/StatusView.h"

#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

using namespace Vuxo;
using namespace Vuxo::FrameTest;

namespace {

const QString kSelectShares = QString::fromUtf8("하나 이상의 아이템을 선택해주세요.");
const QString kServerStopped =
    QString::fromUtf8("서버가 작동중인 상태에서만 가능합니다.\n서버를 먼저 켜주세요.");

// The share names stored in mount.ini, in file order.
std::vector<std::string> StoredShareNames(const FrameFixture& fixture) {
    std::vector<std::string> names;
    for (const std::string& item : fixture.MountIniItems("mounts")) {
        names.push_back(item.substr(0, item.find('|')));
    }
    return names;
}

std::vector<std::string> ListedShareNames(CMainFrame& frame) {
    std::vector<std::string> names;
    CMountView& view = frame.GetTabView().GetMountView();
    for (int i = 0; i < view.GetItemCount(); ++i) {
        names.push_back(view.GetItemAlias(i));
    }
    return names;
}

} // namespace

class FrameCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void addShareThroughThePicker() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        const std::string music = fixture.MakeFolder("music");
        const std::string notes = fixture.MakeFile("docs/notes.txt", "n");

        fixture.picker.answer = QString::fromStdString(music);
        frame.ExecuteCommand(ID_ADD_SHARE);
        QCOMPARE(fixture.picker.lastTitle,
                 QString::fromUtf8("공유 추가할 파일이나 폴더를 선택하여 주십시오"));
        QCOMPARE(ListedShareNames(frame), std::vector<std::string>{"music"});
        QCOMPARE(StoredShareNames(fixture), std::vector<std::string>{"music"});
        QCOMPARE(frame.GetTabView().GetMountView().GetItemLocalPath(0), music);
        QCOMPARE(fixture.MountIniValue("lastAddMountDirectory"), music);

        // A file: the next chooser opens in its folder.
        fixture.picker.answer = QString::fromStdString(notes);
        frame.ExecuteCommand(ID_ADD_SHARE);
        QCOMPARE(fixture.picker.lastStartFolder, QString::fromStdString(music));
        QCOMPARE(ListedShareNames(frame), (std::vector<std::string>{"music", "notes.txt"}));
        QCOMPARE(StoredShareNames(fixture), (std::vector<std::string>{"music", "notes.txt"}));
        QCOMPARE(fixture.MountIniValue("lastAddMountDirectory"), fixture.MakeFolder("docs"));

        // Cancel, a name taken already, a path that does not exist: nothing is added.
        fixture.picker.answer.reset();
        frame.ExecuteCommand(ID_ADD_SHARE);
        fixture.picker.answer = QString::fromStdString(music);
        frame.ExecuteCommand(ID_ADD_SHARE);
        fixture.picker.answer = QString::fromStdString(music + "/missing");
        frame.ExecuteCommand(ID_ADD_SHARE);
        QCOMPARE(ListedShareNames(frame), (std::vector<std::string>{"music", "notes.txt"}));
        QCOMPARE(StoredShareNames(fixture), (std::vector<std::string>{"music", "notes.txt"}));
        // The folder chosen last is remembered, even when its share was refused; one that does not exist is
        // not.
        QCOMPARE(fixture.Config().lastAddMountDirectory.Get(), music);
        QVERIFY(fixture.boxes.shown.empty());
    }

    void sharesOfMountIniAreListedAtStart() {
        FrameFixture fixture;
        fixture.Frame().AddShareByPath(fixture.MakeFolder("b"));
        fixture.Frame().AddShareByPath(fixture.MakeFolder("a"));
        fixture.DestroyFrame();
        FrameFixture again([&fixture](QuilloConfig& config) { config.mounts = fixture.Config().mounts; });
        QCOMPARE(ListedShareNames(again.Frame()), (std::vector<std::string>{"a", "b"}));
        QCOMPARE(again.Frame().GetTabView().GetMountView().GetItemLocalPath(0), fixture.MakeFolder("a"));
    }

    void drivesRootsWarnAndStayShared() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        // A folder named like a drive is no drive.
        QVERIFY(frame.AddShareByPath(fixture.MakeFolder("MP3")));
        QVERIFY(fixture.boxes.shown.empty());
        // The root of the whole system is never shared.
        QVERIFY(!frame.AddShareByPath("/"));
        QCOMPARE(ListedShareNames(frame), std::vector<std::string>{"MP3"});

        if (!IsDriveRoot("/proc")) {
            QSKIP("/proc is not a mount point here");
        }
        QVERIFY(frame.AddShareByPath("/proc"));
        QCOMPARE(fixture.boxes.shown.size(), size_t(1));
        QCOMPARE(fixture.boxes.shown[0].icon, BoxIcon::Warning);
        QCOMPARE(fixture.boxes.shown[0].caption, QString::fromUtf8("경고"));
        QVERIFY(fixture.boxes.shown[0].text.startsWith(
            QString::fromUtf8("드라이브의 최상위 폴더를 공유하셨습니다.")));
        QCOMPARE(ListedShareNames(frame), (std::vector<std::string>{"MP3", "proc"}));
        QCOMPARE(StoredShareNames(fixture), (std::vector<std::string>{"MP3", "proc"}));
    }

    void deleteSharesAsksAndKeepsTheSelectionMeanwhile() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        for (const char* name : {"a", "b", "c", "d"}) {
            frame.AddShareByPath(fixture.MakeFolder(name));
        }
        CMountView& view = frame.GetTabView().GetMountView();

        frame.ExecuteCommand(ID_DELETE_SHARES);
        QCOMPARE(fixture.boxes.shown.back().text, kSelectShares);
        QCOMPARE(fixture.boxes.shown.back().caption, QString::fromUtf8("공유 제거 실패"));
        QCOMPARE(fixture.boxes.shown.back().icon, BoxIcon::Error);

        SelectShares(frame, {0, 2, 3});
        bool keptWhileAsking = false;
        fixture.boxes.whileOpen = [&] { keptWhileAsking = view.GetKeepSelection(); };
        fixture.boxes.answers = {BoxAnswer::No};
        frame.ExecuteCommand(ID_DELETE_SHARES);
        QVERIFY(keptWhileAsking);
        QVERIFY(!view.GetKeepSelection());
        QCOMPARE(StoredShareNames(fixture), (std::vector<std::string>{"a", "b", "c", "d"}));

        fixture.boxes.answers = {BoxAnswer::Yes};
        frame.ExecuteCommand(ID_DELETE_SHARES);
        QCOMPARE(ListedShareNames(frame), std::vector<std::string>{"b"});
        QCOMPARE(StoredShareNames(fixture), std::vector<std::string>{"b"});
        QVERIFY(!view.GetKeepSelection());
    }

    void aShareThatCannotBeRemovedIsReportedAndTheRestGo() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        for (const char* name : {"a", "b", "c"}) {
            frame.AddShareByPath(fixture.MakeFolder(name));
        }
        // "b" disappears from the manager behind the list's back.
        QVERIFY(frame.GetServer()->GetMountManager().RemoveMount("b"));
        SelectShares(frame, {0, 1, 2});
        fixture.boxes.answers = {BoxAnswer::Yes};
        frame.ExecuteCommand(ID_DELETE_SHARES);
        QCOMPARE(fixture.boxes.shown.back().text, QString::fromUtf8("b\n공유 해제 실패"));
        QCOMPARE(fixture.boxes.shown.back().caption, QString::fromUtf8("공유 해제 실패!"));
        QCOMPARE(ListedShareNames(frame), std::vector<std::string>{"b"});
        QVERIFY(StoredShareNames(fixture).empty());
    }

    void copyWebAddressJoinsLinesWithCrLf() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        RecordingClipboard clipboard;
        for (const char* name : {"one", "two", "three four"}) {
            frame.AddShareByPath(fixture.MakeFolder(name));
        }
        frame.ExecuteCommand(ID_COPY_WEB_ADDRESS);
        QCOMPARE(fixture.boxes.shown.back().text, kSelectShares);
        QCOMPARE(fixture.boxes.shown.back().caption, QString::fromUtf8("주소 복사 실패"));
        SelectShares(frame, {0, 1, 2});
        frame.ExecuteCommand(ID_COPY_WEB_ADDRESS);
        QCOMPARE(fixture.boxes.shown.back().text, kServerStopped);
        QVERIFY(clipboard.texts.empty());

        frame.ExecuteCommand(ID_STARTSTOP);
        SelectShares(frame, {0, 1, 2});
        frame.ExecuteCommand(ID_COPY_WEB_ADDRESS);
        QCOMPARE(clipboard.texts.size(), size_t(1));
        const std::u16string root = frame.GetServer()->GetShareUrl(u"");
        QCOMPARE(QString::fromStdU16String(clipboard.texts[0]),
                 QString::fromStdU16String(root + u"one\r\n" + root + u"two\r\n" + root + u"three%20four"));

        SelectShares(frame, {2});
        frame.ExecuteCommand(ID_COPY_WEB_ADDRESS);
        QCOMPARE(QString::fromStdU16String(clipboard.texts.back()),
                 QString::fromStdU16String(root + u"three%20four"));
    }

    void copyAndBrowseNeedARunningServer() {
        FrameFixture fixture;
        CMainFrame& frame = fixture.Frame();
        RecordingClipboard clipboard;
        frame.ExecuteCommand(ID_COPY_ADDRESS);
        QCOMPARE(fixture.boxes.shown.back().caption, QString::fromUtf8("주소 복사 실패"));
        frame.ExecuteCommand(ID_BROWSE);
        QCOMPARE(fixture.boxes.shown.back().caption, QString::fromUtf8("탐색 실패"));
        QCOMPARE(fixture.boxes.shown.back().text, kServerStopped);
        QVERIFY(clipboard.texts.empty());
        QVERIFY(fixture.urlOpener.opened.empty());

        frame.ExecuteCommand(ID_STARTSTOP);
        const QString url = frame.GetAddressBox().text();
        frame.ExecuteCommand(ID_COPY_ADDRESS);
        frame.ExecuteCommand(ID_BROWSE);
        QCOMPARE(QString::fromStdU16String(clipboard.texts.at(0)), url);
        QCOMPARE(fixture.urlOpener.opened, std::vector<QString>{url});
    }

    void theSelectedSharesAddressShowsInTheAddressBox() {
        FrameFixture fixture([](QuilloConfig& config) { config.wasRunning = true; });
        CMainFrame& frame = fixture.Frame();
        frame.AddShareByPath(fixture.MakeFolder("pub"));
        emit frame.GetTabView().GetMountView().shareSelected(QStringLiteral("pub"));
        QCOMPARE(frame.GetAddressBox().text(),
                 QString::fromStdU16String(frame.GetServer()->GetShareUrl(u"pub")));
        emit frame.GetTabView().GetMountView().rootAddressRequested();
        QCOMPARE(frame.GetAddressBox().text(), QString::fromStdString(frame.GetServer()->GetUrl()));
    }

    void notSupportedCommandsSaySo() {
        FrameFixture fixture;
        for (const int id : {ID_LOG_FILTER, ID_SPEED_LIMIT}) {
            fixture.Frame().ExecuteCommand(id);
            QCOMPARE(fixture.boxes.shown.back().text,
                     QString::fromUtf8("죄송합니다. 현재 버전에서 지원되지 않는 기능입니다."));
            QCOMPARE(fixture.boxes.shown.back().caption, QString());
        }
    }

    void clearLogEmptiesTheLogView() {
        FrameFixture fixture;
        CLogView& log = fixture.Frame().GetTabView().GetLogView();
        log.OnLogAppended();
        QVERIFY(log.GetRowCount() > 0); // the server's banner
        fixture.Frame().ExecuteCommand(ID_CLEAR_LOG);
        QCOMPARE(log.GetRowCount(), 0);
    }

    void disconnectKicksAndMayBanTheAddress() {
        FrameFixture fixture([](QuilloConfig& config) { config.wasRunning = true; });
        CMainFrame& frame = fixture.Frame();
        GuiTransferStatusAggregator& aggregator = fixture.Aggregator();
        int first = 0;
        int second = 0;
        aggregator.SetRemoteAddress(&first, "10.1.2.3");
        aggregator.SetRemoteAddress(&second, "10.9.9.9");
        CStatusView& status = frame.GetTabView().GetStatusView();
        status.OnTransferStatusChanged();
        QCOMPARE(status.GetRowCount(), 2);

        frame.ExecuteCommand(ID_DISCONNECT);
        QCOMPARE(fixture.boxes.shown.back().text, QString::fromUtf8("연결을 끊을 항목을 선택해 주세요."));

        int row = -1;
        for (int i = 0; i < status.GetRowCount(); ++i) {
            if (status.GetClientAddressText(i) == u"10.1.2.3") {
                row = i;
            }
        }
        QVERIFY(row >= 0);
        status.setCurrentIndex(status.model()->index(row, 0));

        // No: nothing happens.
        fixture.boxes.answers = {BoxAnswer::No};
        frame.ExecuteCommand(ID_DISCONNECT);
        aggregator.AddTransferredBytes(&first, kDirectionDownload, 1);

        // Yes with the ban box checked: the transfer ends at its next report and the address is banned.
        fixture.boxes.answers = {BoxAnswer::Yes};
        fixture.boxes.checkBoxState = true;
        frame.ExecuteCommand(ID_DISCONNECT);
        QCOMPARE(fixture.boxes.shown.back().text,
                 QString::fromUtf8("선택된 항목들의 연결을 끊으시겠습니까?"));
        QCOMPARE(fixture.boxes.shown.back().checkText,
                 QString::fromUtf8("해당 IP주소에 대해 접속을 금지함 "));
        QVERIFY_THROWS_EXCEPTION(TransferKickedError,
                                 aggregator.AddTransferredBytes(&first, kDirectionDownload, 1));
        aggregator.AddTransferredBytes(&second, kDirectionDownload, 1); // the other one goes on
        QVERIFY(!frame.GetServer()->GetIPFilter().IsIPAllowed("10.1.2.3"));
        QVERIFY(frame.GetServer()->GetIPFilter().IsIPAllowed("10.9.9.9"));
        const std::vector<std::string> rules = fixture.MountIniItems("ipFilterTable");
        QCOMPARE(rules.size(), size_t(1));
        QVERIFY(rules[0].find("10.1.2.3") != std::string::npos);

        aggregator.Unregister(&first);
        aggregator.Unregister(&second);
    }
};

QTEST_MAIN(FrameCommandsTest)
#include "FrameCommandsTest.moc"
