#include "shell/app/SingleInstance.h"

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vuxo {

namespace {

constexpr const char* kWakeRequest = "show\n";
constexpr const char* kWakeAnswer = "done";

// A folder that exists, is no link, belongs to this user and that nobody else may write to.
bool IsPrivateFolder(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 0022) == 0;
}

} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)) {}

SingleInstance::~SingleInstance() {
    if (m_server != nullptr) {
        m_server->close();
    }
}

QString SingleInstance::DefaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(QByteArray(runtime))) {
        return QString::fromLocal8Bit(runtime);
    }
    const QByteArray fallback = "/tmp/corvanta-" + QByteArray::number(static_cast<qulonglong>(::getuid()));
    if (::mkdir(fallback.constData(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    return IsPrivateFolder(fallback) ? QString::fromLocal8Bit(fallback) : QString();
}

QString SingleInstance::LockPath() const {
    return m_folder + QLatin1Char('/') + QLatin1String(kName) + ".lock";
}

QString SingleInstance::SocketPath() const {
    return m_folder + QLatin1Char('/') + QLatin1String(kName) + ".socket";
}

bool SingleInstance::Acquire() {
    m_heldElsewhere = false;
    if (m_folder.isEmpty()) {
        return false;
    }
    FileDescriptor lock(
        ::open(LockPath().toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.IsValid()) {
        return false;
    }
    if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        m_heldElsewhere = errno == EWOULDBLOCK;
        return false;
    }
    m_lock = std::move(lock);
    // A socket file left by a copy that ended without cleaning up belongs to nobody now: we hold the lock.
    QLocalServer::removeServer(SocketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    m_server->listen(SocketPath());
    return true;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto answer = [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            const QByteArray request = socket->readLine();
            if (request == kWakeRequest) {
                emit wakeRequested();
                socket->write(kWakeAnswer);
                socket->write("\n");
                socket->flush();
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, answer);
        answer();
    }
}

bool SingleInstance::WakeRunning(int timeoutMs) const {
    if (m_folder.isEmpty()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kWakeRequest);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    return socket.readLine().trimmed() == kWakeAnswer;
}

} // namespace Vuxo
