// One running copy of the program per user. The first start takes an exclusive lock on a file in the user's
// private runtime folder and listens on a local socket beside it; a later start finds the lock taken,
// connects to the socket and asks the running copy to show itself, waiting until it has done so.
// The lock is released by the system when the process ends, however it ends, so a crash leaves nothing
// stale behind. Owned by the program's entry on the GUI thread; the local server delivers its requests
// through the event loop of that thread.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <QObject>
#include <QString>

class QLocalServer;

namespace Vuxo {

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kName = "Quillo.Corvanta";

    // `folder` holds the lock file and the socket; DefaultFolder() for the program.
    explicit SingleInstance(QString folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR when it is set, else /tmp/corvanta-<uid> (made private to the user). "" when no
    // folder that only this user can write to is found.
    static QString DefaultFolder();

    // Takes the lock and starts listening. False when another copy holds the lock, or when the lock
    // cannot be used at all (then the program runs without single-instance detection).
    bool Acquire();
    // Whether Acquire failed because another copy holds the lock.
    bool IsHeldElsewhere() const { return m_heldElsewhere; }

    // Asks the copy that holds the lock to show itself and waits until it answered; false when it could
    // not be reached (it may still be starting or already leaving).
    bool WakeRunning(int timeoutMs = 10000) const;

    QString LockPath() const;
    QString SocketPath() const;

signals:
    // Another start asked this copy to show itself.
    void wakeRequested();

private:
    void OnNewConnection();

    QString m_folder;
    FileDescriptor m_lock;
    QLocalServer* m_server = nullptr;
    bool m_heldElsewhere = false;
};

} // namespace Vuxo
