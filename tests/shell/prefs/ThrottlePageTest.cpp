// The connection-limit page: what it shows for stored limits, what it stores for what is typed, and a
// speed limit set in it pacing a real download over 127.0.0.1 (on a clock that only counts the pauses).
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "fixtures/support/TempDir.h"
#include "fixtures/support/TestHttpClient.h"
#include "service/mounts/MountManager.h"
#include "service/plugins/PluginManager.h"
#include "service/server/QuilloServer.h"
#include "service/skins/SkinManager.h"
#include "shell/prefs/CSettingDlg_Throttle.h"
#include "shell/prefs/PrefsTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <atomic>
#include <climits>

using namespace Vuxo;
using namespace Vuxo::PrefsTest;

namespace {

struct RowIds {
    int box;
    int edit;
};
constexpr RowIds kUpload{1031, 1032};
constexpr RowIds kDownload{1035, 1036};
constexpr RowIds kTotal{1037, 1038};
constexpr RowIds kPerAddress{1039, 1040};

void Type(QWidget& page, RowIds row, bool tick, const QString& text) {
    FrameTest::FindControl<QCheckBox>(page, row.box)->setChecked(tick);
    auto* edit = FrameTest::FindControl<QLineEdit>(page, row.edit);
    edit->clear();
    QTest::keyClicks(edit, text); // typed, as the user does (the upload edit takes digits only)
}

// Time that moves 10 ms with every reading and by the whole pause with every sleep, which returns at
// once: pacing works as in real time, and the pauses are counted instead of waited for.
class TickClock final : public Clock {
public:
    int64_t NowMs() override { return m_now.fetch_add(10); }
    bool SleepFor(int64_t ms) override {
        m_now.fetch_add(ms);
        m_slept.fetch_add(ms);
        return true;
    }
    void WakeAll() override {}
    int64_t SleptMs() const { return m_slept.load(); }

private:
    std::atomic<int64_t> m_now{1000000};
    std::atomic<int64_t> m_slept{0};
};

} // namespace

class ThrottlePageTest : public QObject {
    Q_OBJECT

private slots:
    void readsTheLeadingNumberOfWhatIsTyped() {
        QCOMPARE(ReadLimitValue(true, QStringLiteral("12abc"), INT_MAX), 12);
        QCOMPARE(ReadLimitValue(true, QStringLiteral("  +7"), INT_MAX), 7);
        for (const char* off : {"abc", "", "0", "-5"}) {
            QCOMPARE(ReadLimitValue(true, QString::fromUtf8(off), INT_MAX), -1);
        }
        QCOMPARE(ReadLimitValue(false, QStringLiteral("12"), INT_MAX), -1);
        QCOMPARE(ReadLimitValue(true, QStringLiteral("99999999999999999999"), 2147483), 2147483);
    }

    void storedLimitsAreShownAndWhatIsTypedIsStored() {
        PrefsFixture fixture([](QuilloConfig& config) {
            config.totalUploadSpeedLimit = 1500;
            config.totalDownloadSpeedLimit = 999;
            config.useDownloadConnectionLimit = true; // hand-written: no download at all
            config.downloadConnectionLimit = 0;
            config.perIPdownloadConnectionLimit = 3; // not in use
        });
        {
            CSettingDlg_Throttle page(fixture.Environment(), nullptr);
            QVERIFY(FrameTest::FindControl<QCheckBox>(page, kUpload.box)->isChecked());
            QCOMPARE(FrameTest::FindControl<QLineEdit>(page, kUpload.edit)->text(), QStringLiteral("1"));
            QVERIFY(!FrameTest::FindControl<QCheckBox>(page, kDownload.box)->isChecked());
            QVERIFY(!FrameTest::FindControl<QLineEdit>(page, kDownload.edit)->isEnabled());
            QVERIFY(FrameTest::FindControl<QCheckBox>(page, kTotal.box)->isChecked());
            QVERIFY(!FrameTest::FindControl<QCheckBox>(page, kPerAddress.box)->isChecked());
            QCOMPARE(FrameTest::FindControl<QLineEdit>(page, kPerAddress.edit)->text(), QStringLiteral("3"));
            page.Apply();
        }
        QuilloConfig& config = fixture.Config();
        QCOMPARE(config.totalUploadSpeedLimit.load(), 1000);
        QCOMPARE(config.totalDownloadSpeedLimit.load(), -1000);
        QVERIFY(config.useDownloadConnectionLimit.load()); // untouched rows keep what is stored
        QCOMPARE(config.downloadConnectionLimit.load(), 0);
        QCOMPARE(fixture.server.Aggregator().GetSpeedLimit(kDirectionUpload), int64_t(1000));
        QVERIFY(fixture.server.Aggregator().GetSpeedLimit(kDirectionDownload) < 0);

        CSettingDlg_Throttle page(fixture.Environment(), nullptr);
        // The numbers and their units line up in both groups.
        page.show();
        QCoreApplication::processEvents();
        const auto left = [&page](const QWidget* widget) { return widget->mapTo(&page, QPoint(0, 0)).x(); };
        const auto* upload = FrameTest::FindControl<QLineEdit>(page, kUpload.edit);
        const QList<QLabel*> units = page.findChildren<QLabel*>(); // one per row
        QCOMPARE(units.size(), 4);
        int unit = 0;
        for (const RowIds row : {kUpload, kDownload, kTotal, kPerAddress}) {
            const auto* edit = FrameTest::FindControl<QLineEdit>(page, row.edit);
            QCOMPARE(std::pair(left(edit), edit->width()), std::pair(left(upload), upload->width()));
            QCOMPARE(left(units[unit++]), left(units.front()));
        }
        Type(page, kUpload, true, QStringLiteral("12abc"));
        Type(page, kDownload, true, QStringLiteral("99999999999"));
        Type(page, kTotal, true, QStringLiteral("abc"));
        Type(page, kPerAddress, true, QStringLiteral("12abc"));
        page.Apply();
        QCOMPARE(config.totalUploadSpeedLimit.load(), 12000);
        QCOMPARE(config.totalDownloadSpeedLimit.load(), 2147483000);
        QVERIFY(!config.useDownloadConnectionLimit.load()); // ticked with no number: off, never "on with -1"
        QCOMPARE(config.downloadConnectionLimit.load(), -1);
        QVERIFY(config.usePerIPDownloadConnectionLimit.load());
        QCOMPARE(config.perIPdownloadConnectionLimit.load(), 12);
    }

    void aSpeedLimitSetInThePagePacesADownload() {
        Fixtures::TempDir root;
        TickClock clock;
        GuiTransferStatusAggregator aggregator(clock);
        auto config = std::make_unique<QuilloConfig>(root.Path());
        config->port = 0;
        QuilloServer server(*config, root.Path(), &aggregator);
        QVERIFY(Fixtures::WriteFile(root.Path("pub/large.bin"), std::string(4000000, 'x')));
        QVERIFY(!server.GetMountManager().AddMount(root.Path("pub")).empty());
        QVERIFY(server.Start());

        PrefsFixture fakes;
        OptionEnvironment environment = fakes.Environment();
        OptionEnvironment over{*config,
                               server,
                               environment.skins,
                               environment.plugins,
                               environment.platform,
                               environment.programPath,
                               root.Path(),
                               environment.localAddresses,
                               {}};
        const auto download = [&server] {
            return Fixtures::HttpGet(server.GetPort(), "/pub/large.bin").body.size();
        };
        QCOMPARE(download(), size_t(4000000));
        QCOMPARE(clock.SleptMs(), int64_t(0));

        CSettingDlg_Throttle page(over, nullptr);
        Type(page, kDownload, true, QStringLiteral("100"));
        page.Apply();
        QCOMPARE(download(), size_t(4000000));
        // 4 MB at 100 kB/s: once the limit is shared out (after 200 ms), the rest takes most of 40 s.
        QVERIFY2(clock.SleptMs() >= 20000, std::to_string(clock.SleptMs()).c_str());
        server.Stop();
    }
};

QTEST_MAIN(ThrottlePageTest)
#include "ThrottlePageTest.moc"
