// The frame's small helpers: the drive-root rule, the alert relay's order and coalescing, and the XDG
// autostart entry the frame reads.
#include "shell/frame/AlertRelay.h"
#include "shell/frame/DriveRoot.h"
#include "shell/platform/AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

using namespace Vuxo;

class FrameHelpersTest : public QObject {
    Q_OBJECT

private slots:
    void driveRoots() {
        QTemporaryDir folder;
        QDir(folder.path()).mkpath(QStringLiteral("MP3"));
        const std::string mp3 = folder.filePath(QStringLiteral("MP3")).toStdString();
        QVERIFY(IsDriveRoot("/"));
        QVERIFY(IsDriveRoot("//"));
        QVERIFY(IsDriveRoot("/tmp/.."));
        QVERIFY(!IsDriveRoot(mp3));
        QVERIFY(!IsDriveRoot(mp3 + "/"));
        QVERIFY(!IsDriveRoot(mp3 + "/missing"));
        QVERIFY(!IsDriveRoot(""));
        if (IsDriveRoot("/proc")) {
            QVERIFY(!IsDriveRoot("/proc/self/fd/.."));
        }
    }

    void alertsKeepTheirOrderAndABurstCostsOneCall() {
        std::vector<QString> shown;
        int deliveries = 0;
        AlertRelay relay([&](const QString& text) { shown.push_back(text); }, nullptr);
        std::thread worker([&relay] {
            for (int i = 0; i < 100; ++i) {
                relay.Post(u"alert " + std::u16string(1, char16_t(u'0' + i % 10)));
            }
        });
        worker.join();
        // Everything posted before the loop runs arrives in one delivery.
        const auto countDelivery = [&] {
            const size_t before = shown.size();
            QCoreApplication::processEvents();
            if (shown.size() != before) {
                ++deliveries;
            }
        };
        countDelivery();
        QCOMPARE(shown.size(), size_t(100));
        QCOMPARE(deliveries, 1);
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(shown[i], QStringLiteral("alert %1").arg(i % 10));
        }
        countDelivery();
        QCOMPARE(deliveries, 1);
    }

    void execValuesRoundTrip_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << QString("/opt/corvanta/corvanta") << QString("\"/opt/corvanta/corvanta\"");
        QTest::newRow("blank") << QString("/home/a b/corvanta") << QString("\"/home/a b/corvanta\"");
        QTest::newRow("quote and dollar") << QString("/x/\"$y`/c") << QString("\"/x/\\\\\"\\\\$y\\\\`/c\"");
        QTest::newRow("backslash") << QString("/x\\y/c") << QString("\"/x\\\\\\\\y/c\"");
        QTest::newRow("percent") << QString("/100%/c") << QString("\"/100%%/c\"");
    }

    void execValuesRoundTrip() {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        const std::string value = MakeDesktopExecValue(path.toStdString());
        QCOMPARE(QString::fromStdString(value), exec);
        bool hasArguments = true;
        QCOMPARE(QString::fromStdString(ParseDesktopExecProgram(value, hasArguments)), path);
        QVERIFY(!hasArguments);
    }

    void autostartEntry() {
        QTemporaryDir home;
        XdgAutostartEntry entry(home.path().toStdString());
        const std::string program = "/opt/Corvanta Test/corvanta";
        QVERIFY(!entry.IsRegisteredFor(program));
        QVERIFY(entry.Register(program));
        QVERIFY(entry.IsRegisteredFor(program));
        QVERIFY(!entry.IsRegisteredFor("/opt/corvanta test/corvanta")); // exact comparison
        QVERIFY(!entry.IsRegisteredFor(""));

        QFile file(QString::fromStdString(entry.FilePath()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        file.close();
        QVERIFY(content.startsWith("[Desktop Entry]\n"));
        QVERIFY(content.contains("\nType=Application\n"));

        const auto rewrite = [&](const QByteArray& bytes) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
            file.close();
        };
        rewrite(content + "Hidden=true\n");
        QVERIFY(!entry.IsRegisteredFor(program)); // switched off by the desktop's settings
        rewrite("[Desktop Entry]\nExec=\"/opt/Corvanta Test/corvanta\" --hidden\n");
        QVERIFY(!entry.IsRegisteredFor(program)); // runs it differently
        rewrite("[Other]\nExec=\"/opt/Corvanta Test/corvanta\"\n");
        QVERIFY(!entry.IsRegisteredFor(program));
        rewrite("# comment\n[Desktop Entry]\nName=x\nExec = \"/opt/Corvanta Test/corvanta\"\n");
        QVERIFY(entry.IsRegisteredFor(program));

        QVERIFY(entry.Unregister());
        QVERIFY(!QFile::exists(QString::fromStdString(entry.FilePath())));
        QVERIFY(!entry.IsRegisteredFor(program));
        QVERIFY(entry.Unregister());
    }
};

QTEST_MAIN(FrameHelpersTest)
#include "FrameHelpersTest.moc"
