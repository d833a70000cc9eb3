// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread, so that they end the program in the same
// orderly way as the exit command (stop, save, closing log line). The handler only writes the signal's
// number into a pipe (async-signal-safe); a socket notifier on the other end reads it in the event loop.
// One instance at a time, owned by the program's entry; the handler's write end is the one piece of
// process-wide state, set while the instance lives. The old handlers come back when it goes.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace Vuxo {

class SignalPipe final : public QObject {
    Q_OBJECT
public:
    explicit SignalPipe(QObject* parent = nullptr);
    ~SignalPipe() override;

    // Whether the pipe and the handlers are in place.
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void OnReadable();

    FileDescriptor m_readEnd;
    FileDescriptor m_writeEnd;
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_oldTerm {};
    struct sigaction m_oldInt {};
};

} // namespace Vuxo
