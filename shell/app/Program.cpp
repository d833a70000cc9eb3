#include "shell/app/Program.h"

#include "core/log/LogQueue.h"
#include "core/platform/fs/ProgramFolder.h"
#include "core/text/Clipboard.h"
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "res/BuiltinResources.h"
#include "service/config/QuilloConfig.h"
#include "shell/app/CrashNotice.h"
#include "shell/app/FirstStartLanguage.h"
#include "shell/app/QtShellPlatform.h"
#include "service/server/MakerService.h"
#include "shell/app/SignalPipe.h"
#include "shell/app/SingleInstance.h"
#include "shell/frame/MainFrame.h"
#include "shell/platform/QtClipboard.h"
#include "shell/views/QueuedNotificationTarget.h"

#include <QApplication>
#include <QSessionManager>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace Vuxo {

namespace {

// The maker's web service of this build; CORVANTA_SERVICE=host:port puts another in its place (a fake on
// this machine when the program is tested), and an empty value leaves the program without one.
std::string ServiceAddress() {
    const char* replacement = std::getenv("CORVANTA_SERVICE");
    return replacement != nullptr ? replacement : kDefaultServiceAddress;
}

// The main frame's run: from its creation to its destruction, which stops the server and saves. 0 when the
// language choice was cancelled before the frame made a server, else 1.
int RunMainFrame(QApplication& app, QuilloConfig& config, SingleInstance& instance, SignalPipe& signalPipe) {
    SetClipboardProvider(MakeQtClipboardProvider());
    QtShellPlatform platform;

    auto frame = std::make_unique<CMainFrame>(CMainFrame::Environment{
        config, config.GetFolder(), QCoreApplication::applicationFilePath().toStdString(),
        GuiTransferStatusAggregator::GetInstance(), LogQueue::GetInstance(), platform.Get(),
        ServiceAddress(), QueuedNotificationTarget::kViewQuietMs});
    if (frame->WasLanguageChoiceCancelled()) {
        SetClipboardProvider({});
        return 0;
    }
    QObject::connect(&instance, &SingleInstance::wakeRequested, frame.get(),
                     &CMainFrame::WakeFromSecondInstance);
    QObject::connect(&signalPipe, &SignalPipe::terminationRequested, frame.get(), &CMainFrame::RequestExit);
    QObject::connect(frame.get(), &CMainFrame::exitRequested, &app, [&app](int code) { app.exit(code); });
#ifndef QT_NO_SESSIONMANAGER
    // The session is ending: what the user set is saved now; the session manager then ends the loop, and
    // the teardown below runs as after the exit command.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&config](QSessionManager&) { config.Save(); });
#endif

    if (!config.bootOnTray.load()) {
        frame->show();
    }
    app.exec();

    frame.reset();
    config.Save();
    SetClipboardProvider({});
    return 1;
}

} // namespace

int RunProgram(int& argc, char** argv) {
    // Sends use MSG_NOSIGNAL; a peer that goes away must never end the program.
    std::signal(SIGPIPE, SIG_IGN);
    SetWorkingDirToProgramFolder();
    if (const auto report = FindCrashNoticeReport(argc, argv)) {
        return RunCrashNotice(argc, argv, *report);
    }
    // From here on a fault, an abort or an uncaught exception leaves a report in Error/.
    ArmCrashReporter();
    RegisterBuiltinResources();
    const bool mountIniExisted = HasMountIni(GetProgramFolder());
    QuilloConfig& config = QuilloConfig::GetInstance();
    ChooseFirstStartLanguage(config, mountIniExisted);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillo Corvanta"));
    // Closing the window hides it in the tray; only the exit command ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // From here on SIGTERM and SIGINT wait in the pipe for the event loop, which ends the run in order.
    SignalPipe signalPipe;

    SingleInstance instance(SingleInstance::DefaultFolder());
    if (!instance.Acquire() && instance.IsHeldElsewhere() && config.singleInstance.load()) {
        if (instance.WakeRunning()) {
            std::fputs("Quillo Corvanta is already running; it was asked to show its window.\n", stderr);
        } else {
            std::fputs("Quillo Corvanta is already running but did not answer.\n", stderr);
        }
        return 0;
    }
    return RunMainFrame(app, config, instance, signalPipe);
}

} // namespace Vuxo
