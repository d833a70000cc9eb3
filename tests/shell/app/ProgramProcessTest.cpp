// The real program, started as a process (offscreen) from a program folder of its own in a temporary
// folder: the orderly exit on SIGTERM and SIGINT, a second start waking the first, two copies when the
// setting allows it, a shared file fetched over HTTP with curl, and the maker's service named by the
// environment. Every copy is given a maker's service on this machine: a fake, or a dead port.
#include "fixtures/support/FakeMakerService.h"
#include "service/config/QuilloConfig.h"
#include "service/mounts/MountManager.h"
#include "service/server/MakerService.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/stat.h>

using namespace Vuxo;

namespace {

// Nothing listens there: the program's requests to the maker's service fail at once, on this machine.
const QString kNoService = QStringLiteral("127.0.0.1:1");

// A program folder with a copy of the program, and the private folders of one desktop session.
class ProgramFolder {
public:
    ProgramFolder() {
        QDir root(m_root.path());
        root.mkpath(QStringLiteral("program"));
        root.mkpath(QStringLiteral("run"));
        root.mkpath(QStringLiteral("config"));
        root.mkpath(QStringLiteral("shares"));
        ::chmod(Path("run").toLocal8Bit().constData(), 0700);
        m_copied = QFile::copy(QStringLiteral(CORVANTA_PROGRAM_FILE), Program()) &&
                   QFile::setPermissions(Program(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner);
    }

    bool IsReady() const { return m_root.isValid() && m_copied; }
    QString Path(const char* relative) const { return m_root.filePath(QString::fromUtf8(relative)); }
    QString Folder() const { return Path("program"); }
    QString Program() const { return Path("program/corvanta"); }

    // Writes mount.ini through the program's own configuration and share classes.
    void Configure(const std::function<void(QuilloConfig&, MountManager&)>& configure) {
        QuilloConfig config(Folder().toStdString());
        config.port = 0;
        config.useVersionCheck = false;
        MountManager mounts(config);
        configure(config, mounts);
        config.Save();
    }

    void WriteMountIni(const QByteArray& bytes) {
        QFile file(Folder() + QStringLiteral("/mount.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray MountIni() const {
        QFile file(Folder() + QStringLiteral("/mount.ini"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString DayLog() const {
        QString text;
        const QDir logs(Folder() + QStringLiteral("/Log"));
        for (const QString& name :
             logs.entryList({QStringLiteral("Corvanta.*.log")}, QDir::Files, QDir::Name)) {
            QFile file(logs.filePath(name));
            if (file.open(QIODevice::ReadOnly)) {
                text += QString::fromUtf8(file.readAll());
            }
        }
        return text;
    }

    // Starts a copy of the program from a working folder that is not the program folder.
    std::unique_ptr<QProcess> Start(const QString& service = kNoService) const {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("CORVANTA_SERVICE"), service);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), Path("run"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Path("config"));
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(m_root.path());
        process->start(Program(), QStringList());
        return process;
    }

    // Waits until the day log holds `text` `count` times; false when `process` ended first (or after a
    // generous guard time: a hang, not a measure of speed).
    bool WaitForLog(const QString& text, QProcess& process, int count = 1) const {
        QDeadlineTimer guard(120000);
        while (DayLog().count(text) < count) {
            if (process.state() == QProcess::NotRunning || guard.hasExpired()) {
                return false;
            }
            process.waitForFinished(50);
        }
        return true;
    }

    // The port of the last "server started" line.
    int ListeningPort() const {
        const QRegularExpression started(QString::fromUtf8("TCP/IP 포트 (\\d+)에서 대기중"));
        int port = -1;
        auto matches = started.globalMatch(DayLog());
        while (matches.hasNext()) {
            port = matches.next().captured(1).toInt();
        }
        return port;
    }

private:
    QTemporaryDir m_root;
    bool m_copied = false;
};

const QString kStarted = QString::fromUtf8("서버 시작: TCP/IP 포트");
const QString kBanner = QString::fromUtf8("Quillo Corvanta 시작...");
const QString kClosing = QString::fromUtf8("Quillo Corvanta 종료");

bool EndsWith(QProcess& process, int signalNumber, int& exitCode) {
    ::kill(static_cast<pid_t>(process.processId()), signalNumber);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        return false;
    }
    exitCode = process.exitCode();
    return true;
}

QString LastLine(const QString& text) {
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

} // namespace

class ProgramProcessTest : public QObject {
    Q_OBJECT

private slots:
    void terminationEndsInOrderWithCodeOne_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void terminationEndsInOrderWithCodeOne() {
        QFETCH(int, signalNumber);
        ProgramFolder folder;
        QVERIFY(folder.IsReady());
        // A hand-written file with three keys: the program writes every key back when it saves.
        folder.WriteMountIni("port=0\nwasRunning=1\nuseVersionCheck=0\n");
        auto program = folder.Start();
        QVERIFY(folder.WaitForLog(kStarted, *program));
        int exitCode = -1;
        QVERIFY(EndsWith(*program, signalNumber, exitCode));
        QCOMPARE(exitCode, 1);
        QVERIFY(LastLine(folder.DayLog()).endsWith(kClosing));
        const QByteArray saved = folder.MountIni();
        QVERIFY(saved.contains("\nsingleInstance=1"));
        QVERIFY(saved.contains("\nwasRunning=1")); // it was running at exit, so it starts running next time
        QVERIFY(!QDir(folder.Folder() + QStringLiteral("/Error")).exists());
    }

    void aSecondStartWakesTheFirstAndEndsWithCodeZero() {
        ProgramFolder folder;
        QVERIFY(folder.IsReady());
        folder.Configure([](QuilloConfig& config, MountManager&) {
            config.wasRunning = true;
            config.bootOnTray = true;
        });
        auto first = folder.Start();
        QVERIFY(folder.WaitForLog(kStarted, *first));

        auto second = folder.Start();
        QVERIFY(second->waitForFinished(120000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(QString::fromUtf8(second->readAllStandardError())
                    .contains(QStringLiteral("asked to show its window")));
        // The second copy made no server: one banner in the log, and the first runs on.
        QCOMPARE(folder.DayLog().count(kBanner), 1);
        QCOMPARE(first->state(), QProcess::Running);

        int exitCode = -1;
        QVERIFY(EndsWith(*first, SIGTERM, exitCode));
        QCOMPARE(exitCode, 1);
    }

    void withoutSingleInstanceASecondCopyRunsInFull() {
        ProgramFolder folder;
        QVERIFY(folder.IsReady());
        folder.Configure([](QuilloConfig& config, MountManager&) { config.singleInstance = false; });
        auto first = folder.Start();
        QVERIFY(folder.WaitForLog(kBanner, *first));
        auto second = folder.Start();
        QVERIFY(folder.WaitForLog(kBanner, *second, 2));
        QCOMPARE(first->state(), QProcess::Running);
        int exitCode = -1;
        QVERIFY(EndsWith(*second, SIGTERM, exitCode));
        QCOMPARE(exitCode, 1);
        QVERIFY(EndsWith(*first, SIGTERM, exitCode));
        QCOMPARE(exitCode, 1);
    }

    void aSharedFileIsServedOverHttp() {
        ProgramFolder folder;
        QVERIFY(folder.IsReady());
        const QString shared = folder.Path("shares/music");
        QDir().mkpath(shared);
        const QByteArray content = "the first bytes ever served\n" + QByteArray(100000, 'x');
        {
            QFile file(shared + QString::fromUtf8("/노래 1.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        folder.Configure([&shared](QuilloConfig& config, MountManager& mounts) {
            config.wasRunning = true;
            QCOMPARE(mounts.AddMount(shared.toStdString()), std::string("music"));
        });
        auto program = folder.Start();
        QVERIFY(folder.WaitForLog(kStarted, *program));
        const int port = folder.ListeningPort();
        QVERIFY(port > 0);

        QProcess curl;
        const QString url = QStringLiteral("http://127.0.0.1:%1/music/%EB%85%B8%EB%9E%98%201.txt").arg(port);
        curl.start(QStringLiteral("curl"), {QStringLiteral("-sS"), QStringLiteral("-f"), url});
        QVERIFY(curl.waitForFinished(120000));
        QCOMPARE(curl.exitCode(), 0);
        QCOMPARE(curl.readAllStandardOutput(), content);

        int exitCode = -1;
        QVERIFY(EndsWith(*program, SIGTERM, exitCode));
        QCOMPARE(exitCode, 1);
    }

    void theMakersServiceIsTheOneTheEnvironmentNames() {
        Fixtures::FakeMakerService maker;
        maker.Queue(kPublicAddressPath, {200, "203.0.113.7\r\n"});
        maker.Queue(kRevisionPath, {200, "1096"});
        ProgramFolder folder;
        QVERIFY(folder.IsReady());
        folder.Configure([](QuilloConfig& config, MountManager&) {
            config.wasRunning = true;
            config.useVersionCheck = true;
        });
        auto program = folder.Start(QString::fromStdString(maker.Address()));
        QVERIFY(folder.WaitForLog(QString::fromUtf8("외부에서 주소 얻어오기 성공. 주소 : 203.0.113.7"),
                                  *program));
        QVERIFY(maker.WaitForRequests(kRevisionPath, 1));
        int exitCode = -1;
        QVERIFY(EndsWith(*program, SIGTERM, exitCode));
        QCOMPARE(exitCode, 1);
    }

    // The README's run command, in a copy of the tree whose set-up and build steps are already done.
    void theRunScriptSharesAFolderOnItsFirstStartOnly() {
        QTemporaryDir root;
        QDir(root.path()).mkpath(QStringLiteral("repo/scripts"));
        QDir(root.path()).mkpath(QStringLiteral("repo/build/program"));
        QDir(root.path()).mkpath(QStringLiteral("run"));
        ::chmod(root.filePath(QStringLiteral("run")).toLocal8Bit().constData(), 0700);
        const QString scripts = root.filePath(QStringLiteral("repo/scripts/"));
        QVERIFY(
            QFile::copy(QStringLiteral(CORVANTA_SOURCE_DIR "/scripts/run"), scripts + QStringLiteral("run")));
        QVERIFY(QFile::copy(QStringLiteral(CORVANTA_PROGRAM_FILE),
                            root.filePath(QStringLiteral("repo/build/program/corvanta"))));
        for (const char* step : {"bootstrap", "build"}) {
            QFile stub(scripts + QString::fromUtf8(step));
            QVERIFY(stub.open(QIODevice::WriteOnly));
            stub.write("#!/bin/sh\nexit 0\n");
            stub.close();
            QVERIFY(stub.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner));
        }
        const QString shared = root.filePath(QString::fromUtf8("내 폴더"));
        QDir().mkpath(shared);
        QFile file(shared + QStringLiteral("/a.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("served by the run command\n");
        file.close();

        const auto start = [&](QProcess& script) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(QStringLiteral("DISPLAY"));
            environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
            environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.filePath(QStringLiteral("run")));
            environment.insert(QStringLiteral("CORVANTA_SERVICE"), kNoService);
            script.setProcessEnvironment(environment);
            script.setWorkingDirectory(root.path());
            script.setProcessChannelMode(QProcess::MergedChannels);
            script.start(QStringLiteral("bash"), {scripts + QStringLiteral("run"), shared});
        };
        // Reads the script's output until `marker`; the whole output so far.
        const auto readUntil = [](QProcess& script, const QString& marker, QString& output) {
            QDeadlineTimer guard(120000);
            while (!output.contains(marker)) {
                if (script.state() == QProcess::NotRunning || guard.hasExpired()) {
                    return false;
                }
                script.waitForReadyRead(100);
                output += QString::fromUtf8(script.readAll());
            }
            return true;
        };

        QProcess first;
        start(first);
        QString output;
        QVERIFY2(readUntil(first, QStringLiteral("without a window"), output), qPrintable(output));
        const QRegularExpressionMatch match =
            QRegularExpression(QString::fromUtf8("sharing .* as \"내 폴더\" on port (\\d+)")).match(output);
        QVERIFY2(match.hasMatch(), qPrintable(output));
        const QString port = match.captured(1);
        const QString log = root.filePath(QStringLiteral("repo/build/program/Log"));
        QDeadlineTimer guard(120000);
        while (!QDir(log).exists() || QDir(log).entryList(QDir::Files).isEmpty()) {
            QVERIFY(!guard.hasExpired() && first.state() == QProcess::Running);
            first.waitForFinished(50);
        }
        QProcess curl;
        bool served = false;
        while (!served && !guard.hasExpired()) {
            curl.start(
                QStringLiteral("curl"),
                {QStringLiteral("-sS"), QStringLiteral("-f"),
                 QStringLiteral("http://127.0.0.1:%1/%EB%82%B4%20%ED%8F%B4%EB%8D%94/a.txt").arg(port)});
            QVERIFY(curl.waitForFinished(120000));
            served = curl.exitCode() == 0;
            if (!served) {
                first.waitForFinished(100);
            }
        }
        QCOMPARE(curl.readAllStandardOutput(), QByteArray("served by the run command\n"));
        int exitCode = -1;
        QVERIFY(EndsWith(first, SIGINT, exitCode));
        QCOMPARE(exitCode, 1);

        // The second start leaves mount.ini as the program saved it.
        QFile ini(root.filePath(QStringLiteral("repo/build/program/mount.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray saved = ini.readAll();
        ini.close();
        QProcess second;
        start(second);
        output.clear();
        QVERIFY2(readUntil(second, QStringLiteral("using the existing"), output), qPrintable(output));
        QVERIFY(!output.contains(QStringLiteral("sharing")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), saved);
        ini.close();
        const auto banners = [&log] {
            int count = 0;
            for (const QString& name : QDir(log).entryList(QDir::Files)) {
                QFile day(QDir(log).filePath(name));
                if (day.open(QIODevice::ReadOnly)) {
                    count += QString::fromUtf8(day.readAll()).count(kBanner);
                }
            }
            return count;
        };
        guard.setRemainingTime(120000);
        while (banners() < 2) {
            QVERIFY(!guard.hasExpired() && second.state() == QProcess::Running);
            second.waitForFinished(50);
        }
        QVERIFY(EndsWith(second, SIGTERM, exitCode));
        QCOMPARE(exitCode, 1);
    }
};

QTEST_GUILESS_MAIN(ProgramProcessTest)
#include "ProgramProcessTest.moc"
