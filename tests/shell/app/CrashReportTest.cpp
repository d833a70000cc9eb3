// The real program failing: the test copy with its failure trigger, started from a program folder of its
// own, dies of SIGSEGV, leaves its report in Error/ and starts the notice, which prints the configured
// language's text (there is no display) and saves nothing.
#include "core/platform/crash/CrashReporter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class CrashReportTest : public QObject {
    Q_OBJECT

private slots:
    void aFailingProgramLeavesItsReportAndRunsTheNotice() {
        if (!Vuxo::CrashReporter::IsAvailable()) {
            QSKIP("the sanitizer runtime owns the fault signals in this build");
        }
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QDir(root.path()).mkpath(QStringLiteral("program/Language"));
        QDir(root.path()).mkpath(QStringLiteral("run"));
        const QString folder = root.filePath(QStringLiteral("program"));
        const QString program = folder + QStringLiteral("/corvanta");
        QVERIFY(QFile::copy(QStringLiteral(CORVANTA_FAILING_PROGRAM_FILE), program));
        QVERIFY(QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QVERIFY(QFile::copy(QStringLiteral(CORVANTA_SOURCE_DIR "/Language/English.wul"),
                            folder + QStringLiteral("/Language/English.wul")));
        const QByteArray settings = "uiLanguageFile=English.wul\nport=0\nuseVersionCheck=0\n";
        {
            QFile ini(folder + QStringLiteral("/mount.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write(settings);
        }

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.filePath(QStringLiteral("run")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("run")));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(root.path());
        // A file, not a pipe: the notice writes to it after the failing process has gone.
        const QString errors = root.filePath(QStringLiteral("stderr.txt"));
        process.setStandardErrorFile(errors);
        // The kernel's own core file is not what is tested here.
        process.setChildProcessModifier([] {
            const rlimit none{0, 0};
            ::setrlimit(RLIMIT_CORE, &none);
        });
        process.start(program, QStringList());
        QVERIFY(process.waitForFinished(300000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(process.exitCode(), SIGSEGV);

        const QDir reports(folder + QStringLiteral("/Error"));
        const QStringList names = reports.entryList({QStringLiteral("ROZ_*.log")}, QDir::Files);
        QCOMPARE(names.size(), 1);
        QFile report(reports.filePath(names[0]));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QByteArray bytes = report.readAll();
        QVERIFY(bytes.startsWith("\xFF\xFE"));
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                                (bytes.size() - 2) / 2);
        QVERIFY(text.contains(QStringLiteral("\r\nQuillo Corvanta  (Revision 1095)\r\n")));
        QVERIFY(text.contains(QStringLiteral("An Access Violation (0xC0000005) in module corvanta at ")));
        QVERIFY(text.contains(QStringLiteral("could not be 'written'")));

        // The notice runs on after the failing process: wait for its last line (a guard against a hang).
        const QString notice =
            QStringLiteral(
                "Quillo Corvanta\nAn unexpected error has occurred.\nFiles to help fix it were created "
                "in the Error folder.\nWe would be very grateful if you sent these files to the "
                "maker.\n") +
            reports.filePath(names[0]) + QStringLiteral("\n");
        QDeadlineTimer guard(120000);
        QString printed;
        while (!printed.contains(notice) && !guard.hasExpired()) {
            QTest::qWait(50);
            QFile file(errors);
            printed = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        }
        QVERIFY2(printed.contains(notice), qPrintable(printed));
        QFile ini(folder + QStringLiteral("/mount.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), settings);
    }
};

QTEST_GUILESS_MAIN(CrashReportTest)
#include "CrashReportTest.moc"
