// The single-instance lock and wake-up, in one process: a second holder is refused and wakes the first
// over the local socket; the lock goes with its holder; the runtime folder must be private. And the signal
// pipe that turns SIGTERM and SIGINT into a queued signal.
#include "shell/app/SingleInstance.h"
#include "shell/app/SignalPipe.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>

using namespace Vuxo;

namespace {

// A private runtime folder, as the session gives one.
QString MakeRuntimeFolder(const QTemporaryDir& root) {
    const QString folder = root.filePath(QStringLiteral("run"));
    QDir().mkpath(folder);
    ::chmod(folder.toLocal8Bit().constData(), 0700);
    return folder;
}

// Runs the event loop until `done` holds; false after a generous guard time (a hang, not a measure).
template <typename Predicate> bool PumpUntil(Predicate done) {
    QDeadlineTimer guard(60000);
    while (!done()) {
        if (guard.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void aSecondHolderIsRefusedAndWakesTheFirst() {
        QTemporaryDir root;
        const QString folder = MakeRuntimeFolder(root);
        SingleInstance first(folder);
        QVERIFY(first.Acquire());
        QVERIFY(!first.IsHeldElsewhere());
        QSignalSpy woken(&first, &SingleInstance::wakeRequested);

        SingleInstance second(folder);
        QVERIFY(!second.Acquire());
        QVERIFY(second.IsHeldElsewhere());

        // The waker blocks until the first copy has handled the request on its own (this) thread.
        std::atomic<int> result{-1};
        std::thread waker([&] { result = second.WakeRunning() ? 1 : 0; });
        QVERIFY(PumpUntil([&] { return result.load() >= 0; }));
        waker.join();
        QCOMPARE(result.load(), 1);
        QCOMPARE(woken.count(), 1);
    }

    void theLockGoesWithItsHolder() {
        QTemporaryDir root;
        const QString folder = MakeRuntimeFolder(root);
        {
            SingleInstance first(folder);
            QVERIFY(first.Acquire());
        }
        SingleInstance next(folder);
        QVERIFY(next.Acquire());
        // Nobody answers a wake-up when nobody holds the lock.
        SingleInstance stray(QDir(root.path()).filePath(QStringLiteral("elsewhere")));
        QVERIFY(!stray.WakeRunning(2000));
    }

    void aStaleSocketFileDoesNotBlockTheNextStart() {
        QTemporaryDir root;
        const QString folder = MakeRuntimeFolder(root);
        SingleInstance first(folder);
        QFile stale(first.SocketPath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        QVERIFY(first.Acquire());

        SingleInstance second(folder);
        QVERIFY(!second.Acquire());
        std::atomic<int> result{-1};
        std::thread waker([&] { result = second.WakeRunning() ? 1 : 0; });
        QVERIFY(PumpUntil([&] { return result.load() >= 0; }));
        waker.join();
        QCOMPARE(result.load(), 1);
    }

    void aRequestOtherThanTheWakeUpDoesNothing() {
        QTemporaryDir root;
        SingleInstance first(MakeRuntimeFolder(root));
        QVERIFY(first.Acquire());
        QSignalSpy woken(&first, &SingleInstance::wakeRequested);
        std::atomic<bool> done{false};
        std::thread client([&] {
            QLocalSocket socket;
            socket.connectToServer(first.SocketPath());
            if (socket.waitForConnected(10000)) {
                socket.write("format c:\n");
                socket.waitForBytesWritten(10000);
                socket.waitForDisconnected(10000);
            }
            done = true;
        });
        QVERIFY(PumpUntil([&] { return done.load(); }));
        client.join();
        QCOMPARE(woken.count(), 0);
    }

    void theRuntimeFolderMustBePrivate() {
        QTemporaryDir root;
        const QString open = root.filePath(QStringLiteral("open"));
        QDir().mkpath(open);
        ::chmod(open.toLocal8Bit().constData(), 0777);
        const QString privateFolder = MakeRuntimeFolder(root);
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");

        qputenv("XDG_RUNTIME_DIR", privateFolder.toLocal8Bit());
        QCOMPARE(SingleInstance::DefaultFolder(), privateFolder);
        qputenv("XDG_RUNTIME_DIR", open.toLocal8Bit());
        const QString fallback = SingleInstance::DefaultFolder();
        QCOMPARE(fallback, QStringLiteral("/tmp/corvanta-%1").arg(::getuid()));
        struct stat info {};
        QCOMPARE(::lstat(fallback.toLocal8Bit().constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0700);
        qputenv("XDG_RUNTIME_DIR", saved);
    }

    void terminationSignalsArriveQueued_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void terminationSignalsArriveQueued() {
        QFETCH(int, signalNumber);
        SignalPipe pipe;
        QVERIFY(pipe.IsActive());
        QSignalSpy requested(&pipe, &SignalPipe::terminationRequested);
        ::raise(signalNumber);
        QCOMPARE(requested.count(), 0); // nothing runs inside the handler
        QVERIFY(PumpUntil([&] { return requested.count() > 0; }));
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.at(0).at(0).toInt(), signalNumber);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
