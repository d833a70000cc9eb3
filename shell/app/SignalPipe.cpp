#include "shell/app/SignalPipe.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Vuxo {

namespace {

// The write end for the handler; -1 while no SignalPipe lives.
std::atomic<int> g_signalWriteEnd{-1};

extern "C" void WriteSignalToPipe(int signalNumber) {
    const int savedErrno = errno;
    const int descriptor = g_signalWriteEnd.load();
    if (descriptor >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a wake-up; losing this byte loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(descriptor, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

SignalPipe::SignalPipe(QObject* parent) : QObject(parent) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_readEnd = FileDescriptor(ends[0]);
    m_writeEnd = FileDescriptor(ends[1]);
    g_signalWriteEnd.store(m_writeEnd.Get());

    struct sigaction action {};
    action.sa_handler = WriteSignalToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &m_oldTerm);
    ::sigaction(SIGINT, &action, &m_oldInt);

    m_notifier = new QSocketNotifier(m_readEnd.Get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalPipe::OnReadable);
}

SignalPipe::~SignalPipe() {
    if (m_notifier == nullptr) {
        return;
    }
    ::sigaction(SIGTERM, &m_oldTerm, nullptr);
    ::sigaction(SIGINT, &m_oldInt, nullptr);
    g_signalWriteEnd.store(-1);
}

void SignalPipe::OnReadable() {
    unsigned char bytes[16];
    ssize_t count = 0;
    while ((count = ::read(m_readEnd.Get(), bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            emit terminationRequested(bytes[i]);
        }
    }
}

} // namespace Vuxo
