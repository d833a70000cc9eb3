// The main frame's key table, driven by real key events: tab switching and the toolbar of each tab, Delete,
// F2, Ctrl+A and Ctrl+C per tab and focus, Escape against an open rename, the development keys, and keys of
// other windows left alone.
#include "core/i18n/LocalizationStringTable.h"
#include "core/text/Utf8.h"
#include "service/server/QuilloServer.h"
#include "shell/frame/FrameTestSupport.h"
#include "shell/views/LogView.h"
#include "shell/views/MountView.h"
#include "shell/views/MyTabViewCtrl.h"
#include "shell/views/StatusView.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>

#include <memory>
#include <vector>

using namespace Vuxo;
using namespace Vuxo::FrameTest;

namespace {

// Records the keys that reach a widget (after the frame's key table had its turn).
class KeyRecorder final : public QObject {
public:
    explicit KeyRecorder(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    ~KeyRecorder() override { m_widget->removeEventFilter(this); }
    std::vector<int> keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Control && key != Qt::Key_Shift) {
                keys.push_back(key);
            }
        }
        return false;
    }

private:
    QWidget* m_widget;
};

// A shown, active frame with shares "a", "b" and "c".
class ShownFrame {
public:
    explicit ShownFrame(const std::function<void(QuilloConfig&)>& configure = {}) : fixture(configure) {
        for (const char* name : {"a", "b", "c"}) {
            fixture.Frame().AddShareByPath(fixture.MakeFolder(name));
        }
        fixture.Frame().show();
        fixture.Frame().activateWindow();
    }

    bool Ready() { return QTest::qWaitForWindowActive(&fixture.Frame()); }
    CMainFrame& Frame() { return fixture.Frame(); }
    CMyTabViewCtrl& Tabs() { return fixture.Frame().GetTabView(); }
    CMountView& Shares() { return fixture.Frame().GetTabView().GetMountView(); }
    bool BandShown(int band) { return Frame().IsBandVisible(band); }

    FrameFixture fixture;
};

} // namespace

class FrameKeysTest : public QObject {
    Q_OBJECT

private slots:
    void eachTabShowsItsToolbar() {
        ShownFrame shown;
        QVERIFY(shown.Ready());
        struct Step {
            int key;
            Qt::KeyboardModifiers modifiers;
            int tab;
            int band;
        };
        const std::vector<Step> steps = {
            {Qt::Key_Tab, Qt::ControlModifier, 1, kBandStatus},
            {Qt::Key_Tab, Qt::ControlModifier, 2, kBandLog},
            {Qt::Key_Tab, Qt::ControlModifier, 0, kBandShares}, // wraps to the shares tab
            {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2, kBandLog},
            {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 1, kBandStatus},
            {Qt::Key_1, Qt::ControlModifier, 0, kBandShares},
            {Qt::Key_3, Qt::ControlModifier, 2, kBandLog},
            {Qt::Key_2, Qt::ControlModifier, 1, kBandStatus},
        };
        QVERIFY(shown.BandShown(kBandShares));
        QVERIFY(!shown.BandShown(kBandStatus));
        QVERIFY(!shown.BandShown(kBandLog));
        for (const Step& step : steps) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(step.key), step.modifiers);
            QCOMPARE(shown.Tabs().GetActiveTab(), step.tab);
            for (const int band : {kBandShares, kBandStatus, kBandLog}) {
                QCOMPARE(shown.BandShown(band), band == step.band);
            }
            // The bands that never change stay.
            QVERIFY(shown.BandShown(kBandMain));
            QVERIFY(shown.BandShown(kBandAddressBox));
        }
        // A click on a tab does the same.
        shown.Tabs().setCurrentIndex(0);
        QVERIFY(shown.BandShown(kBandShares));
        QVERIFY(!shown.BandShown(kBandStatus));
    }

    void deleteActsPerTab() {
        ShownFrame shown;
        QVERIFY(shown.Ready());
        FakeBoxes& boxes = shown.fixture.boxes;

        SelectShares(shown.Frame(), {1});
        shown.Shares().setFocus();
        boxes.answers = {BoxAnswer::Yes};
        QTest::keyClick(&shown.Shares(), Qt::Key_Delete);
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].caption, QString::fromUtf8("공유 제거 확인"));
        QCOMPARE(shown.Shares().GetItemCount(), 2);
        QCOMPARE(shown.Shares().GetItemAlias(1), std::string("c"));

        int key = 0;
        shown.fixture.Aggregator().SetRemoteAddress(&key, "10.0.0.5");
        CStatusView& status = shown.Tabs().GetStatusView();
        status.OnTransferStatusChanged();
        shown.Tabs().SetActiveTab(CMyTabViewCtrl::kStatusTab);
        status.setCurrentIndex(status.model()->index(0, 0));
        QTest::keyClick(&status, Qt::Key_Delete);
        QCOMPARE(boxes.shown.size(), size_t(2));
        QCOMPARE(boxes.shown[1].caption, QString::fromUtf8("연결 끊기"));
        QVERIFY(!boxes.shown[1].checkText.isEmpty());

        shown.Tabs().SetActiveTab(CMyTabViewCtrl::kLogTab);
        KeyRecorder reachesLog(&shown.Tabs().GetLogView());
        QTest::keyClick(&shown.Tabs().GetLogView(), Qt::Key_Delete);
        QCOMPARE(boxes.shown.size(), size_t(2));
        QVERIFY(reachesLog.keys.empty()); // taken, with nothing done
    }

    void f2RenamesOnlyWithExactlyOneSelection() {
        ShownFrame shown;
        QVERIFY(shown.Ready());
        SelectShares(shown.Frame(), {0, 2});
        QTest::keyClick(&shown.Shares(), Qt::Key_F2);
        QVERIFY(!shown.Shares().IsRenaming());
        SelectShares(shown.Frame(), {});
        QTest::keyClick(&shown.Shares(), Qt::Key_F2);
        QVERIFY(!shown.Shares().IsRenaming());

        shown.Tabs().SetActiveTab(CMyTabViewCtrl::kLogTab);
        SelectShares(shown.Frame(), {1});
        QTest::keyClick(&shown.Tabs().GetLogView(), Qt::Key_F2);
        QVERIFY(!shown.Shares().IsRenaming());

        shown.Tabs().SetActiveTab(CMyTabViewCtrl::kSharesTab);
        SelectShares(shown.Frame(), {1});
        QTest::keyClick(&shown.Shares(), Qt::Key_F2);
        QVERIFY(shown.Shares().IsRenaming());
        shown.Shares().CancelRename();
    }

    void ctrlASelectsEveryShareOnlyOnTheSharesTab() {
        ShownFrame shown;
        QVERIFY(shown.Ready());
        QTest::keyClick(&shown.Shares(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(shown.Shares().GetSelectedIndices(), (std::vector<int>{0, 1, 2}));

        SelectShares(shown.Frame(), {});
        shown.Tabs().SetActiveTab(CMyTabViewCtrl::kLogTab);
        CLogView& log = shown.Tabs().GetLogView();
        KeyRecorder reachesLog(&log);
        QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(reachesLog.keys, std::vector<int>{Qt::Key_A}); // passed on
        QVERIFY(shown.Shares().GetSelectedIndices().empty());
    }

    void escapeHidesButLeavesAnOpenRenameAlone() {
        ShownFrame shown;
        QVERIFY(shown.Ready());
        SelectShares(shown.Frame(), {0});
        shown.Frame().ExecuteCommand(ID_RENAME_SHARE);
        QVERIFY(shown.Shares().IsRenaming());
        QWidget* editor = QApplication::focusWidget();
        QVERIFY(editor != nullptr);
        QTest::keyClick(editor, Qt::Key_Escape);
        QCoreApplication::processEvents();
        QVERIFY(!shown.Shares().IsRenaming());
        QVERIFY(shown.Frame().isVisible());
        QCOMPARE(shown.Shares().GetItemAlias(0), std::string("a"));

        QTest::keyClick(&shown.Shares(), Qt::Key_Escape);
        QVERIFY(PumpUntil([&] { return shown.Frame().IsHiddenToTray(); }));
        QVERIFY(!shown.Frame().isVisible());
    }

    void insertIsSwallowed() {
        ShownFrame shown;
        QVERIFY(shown.Ready());
        KeyRecorder reachesShares(&shown.Shares());
        QTest::keyClick(&shown.Shares(), Qt::Key_Insert);
        QTest::keyClick(&shown.Shares(), Qt::Key_Down);
        QCOMPARE(reachesShares.keys, std::vector<int>{Qt::Key_Down});
    }

    void ctrlCCopiesByFocus() {
        ShownFrame shown([](QuilloConfig& config) { config.wasRunning = true; });
        QVERIFY(shown.Ready());
        RecordingClipboard clipboard;
        CMainFrame& frame = shown.Frame();

        // The address box copies its own selection.
        frame.GetAddressBox().setFocus();
        frame.GetAddressBox().setSelection(0, 7);
        QTest::keyClick(&frame.GetAddressBox(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard.texts, std::vector<std::u16string>{u"http://"});

        // The share list copies the web addresses of its selection.
        shown.Shares().setFocus();
        SelectShares(frame, {2});
        QTest::keyClick(&shown.Shares(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard.texts.size(), size_t(2));
        QCOMPARE(clipboard.texts[1], frame.GetServer()->GetShareUrl(u"c"));

        // Elsewhere the key is passed on.
        shown.Tabs().SetActiveTab(CMyTabViewCtrl::kLogTab);
        CLogView& log = shown.Tabs().GetLogView();
        log.setFocus();
        KeyRecorder reachesLog(&log);
        QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(reachesLog.keys, std::vector<int>{Qt::Key_C});
        QCOMPARE(clipboard.texts.size(), size_t(2));
    }

    void developmentKeysReloadAndUnload() {
        ShownFrame shown;
        QVERIFY(shown.Ready());
        QTest::keyClick(&shown.Shares(), Qt::Key_F5, Qt::ControlModifier);
        QCOMPARE(shown.fixture.boxes.shown.size(), size_t(1));
        QCOMPARE(shown.fixture.boxes.shown[0].caption, QStringLiteral("Quillo Corvanta"));
        QCOMPARE(shown.fixture.boxes.shown[0].icon, BoxIcon::Error);
        QVERIFY(shown.fixture.boxes.shown[0].text.startsWith(
            QString::fromUtf8("모든 스킨과 플러그인을 다시 읽었습니다.")));
        QTest::keyClick(&shown.Shares(), Qt::Key_F6, Qt::ControlModifier);
        QCOMPARE(shown.fixture.boxes.shown.size(), size_t(2));
        QVERIFY(
            shown.fixture.boxes.shown[1].text.startsWith(QString::fromUtf8("모든 플러그인을 해제했습니다.")));
    }

    void keysOfOtherWindowsAreLeftAlone() {
        ShownFrame shown;
        QVERIFY(shown.Ready());
        QWidget other;
        other.show();
        KeyRecorder reachesOther(&other);
        QTest::keyClick(&other, Qt::Key_Escape);
        QTest::keyClick(&other, Qt::Key_Tab, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(reachesOther.keys, (std::vector<int>{Qt::Key_Escape, Qt::Key_Tab}));
        QVERIFY(shown.Frame().isVisible());
        QCOMPARE(shown.Tabs().GetActiveTab(), 0);
    }
};

QTEST_MAIN(FrameKeysTest)
#include "FrameKeysTest.moc"
