// The main frame with the server's callbacks: alerts raised while the server object is built, the public
// address from a fake maker's service in the address box, and the newer-revision notice.
#include "fixtures/support/FakeMakerService.h"
#include "service/config/QuilloConfig.h"
#include "service/server/MakerService.h"
#include "service/server/QuilloServer.h"
#include "shell/frame/FrameTestSupport.h"

#include <QLineEdit>
#include <QTest>

using namespace Vuxo;
using namespace Vuxo::FrameTest;

class FrameServiceTest : public QObject {
    Q_OBJECT

private slots:
    void alertsOfTheServersConstructionShowInABox() {
        // A damaged share item: the mount manager raises its alert while the server object is made.
        FrameFixture fixture([](QuilloConfig& config) { config.mounts.push_back("broken"); });
        QVERIFY(PumpUntil([&] { return !fixture.boxes.shown.empty(); }));
        QCOMPARE(fixture.boxes.shown.size(), size_t(1));
        QVERIFY(fixture.boxes.shown[0].text.startsWith(
            QString::fromUtf8("설정파일 로딩중 일부 문제가 발생하여")));
        QCOMPARE(fixture.boxes.shown[0].icon, BoxIcon::Error);
    }

    void theAddressBoxShowsThePublicAddress() {
        Fixtures::FakeMakerService maker;
        maker.Queue(kPublicAddressPath, {200, "203.0.113.7\r\n"});
        FrameFixture fixture([](QuilloConfig& config) { config.wasRunning = true; }, false);
        fixture.serviceAddress = maker.Address();
        fixture.MakeFrame();
        CMainFrame& frame = fixture.Frame();
        const QString root = QStringLiteral("http://203.0.113.7:%1/").arg(frame.GetServer()->GetPort());
        QVERIFY(PumpUntil([&] { return frame.GetAddressBox().text() == root; }));
        QCOMPARE(QString::fromStdU16String(frame.GetServer()->GetShareUrl(u"pub")),
                 root + QStringLiteral("pub"));
    }

    void aNewerRevisionShowsOneNoticeThatDoesNotWait() {
        Fixtures::FakeMakerService maker;
        maker.Queue(kRevisionPath, {200, "1096"});
        FrameFixture fixture([](QuilloConfig& config) { config.useVersionCheck = true; }, false);
        fixture.serviceAddress = maker.Address();
        fixture.MakeFrame();
        QVERIFY(PumpUntil([&] { return !fixture.boxes.shown.empty(); }));
        const FakeBoxes::Box& notice = fixture.boxes.shown[0];
        QVERIFY(notice.notice && fixture.boxes.shown.size() == 1); // the link box, without waiting for it
        QCOMPARE(notice.text, QString::fromUtf8("현재 실행되고 있는 Quillo Corvanta가 최신 버전이 아닙니다.\n"
                                                "다음 링크에서 최신 버전을 받으실 수 있습니다."));
        QCOMPARE(notice.linkText + notice.linkAddress, QString::fromUtf8(kMakerHomepage).repeated(2));
        QCOMPARE(notice.caption, QStringLiteral("Quillo Corvanta"));
        QCOMPARE(maker.Requests(kRevisionPath), 1);
    }
};

QTEST_MAIN(FrameServiceTest)
#include "FrameServiceTest.moc"
