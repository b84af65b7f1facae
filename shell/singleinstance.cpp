#include "singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace {

// What a later start sends: one short line.
constexpr char kShowRequest[] = "show\n";
constexpr qint64 kMaxRequest = 64;

} // namespace

SingleInstance::SingleInstance(const QString &name, const QString &folder, QObject *parent)
    : QObject(parent)
{
    const QString dir = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
    m_lockPath = QDir(dir).filePath(name + QStringLiteral(".lock"));
    m_socketPath = QDir(dir).filePath(name + QStringLiteral(".socket"));
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close(); // removes the socket file while the lock is still ours
}

SingleInstance::Claim SingleInstance::claim(int waitMs)
{
    m_error.clear();
    if (m_server)
        return Claim::Primary;

    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Only a lock whose process is gone is stale: a music box may run for
    // weeks, so the lock's age says nothing.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return listen() ? Claim::Primary : Claim::Unguarded;

    if (m_lock->error() != QLockFile::LockFailedError) {
        m_error = QStringLiteral("cannot create %1").arg(m_lockPath);
        m_lock.reset();
        return Claim::Unguarded;
    }
    m_lock.reset();
    return forward(waitMs) ? Claim::Forwarded : Claim::NoAnswer;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // With the lock ours, a socket file still there was left by a run that
    // ended without closing it.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath)) {
        m_error = QStringLiteral("cannot listen on %1: %2").arg(m_socketPath, m_server->errorString());
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
            if (socket->bytesAvailable() > 0)
                readRequest(socket);
        }
    });
    return true;
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        // A line longer than any request is not one of ours.
        if (socket->bytesAvailable() > kMaxRequest)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(kMaxRequest + 1);
    socket->disconnectFromServer();
    if (line == kShowRequest)
        emit activationRequested();
}

bool SingleInstance::forward(int waitMs)
{
    // The running one takes its lock a moment before it listens: try again
    // until the deadline.
    const QDeadlineTimer deadline(waitMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(std::max<qint64>(1, std::min<qint64>(500, deadline.remainingTime()))))
            break;
        socket.abort();
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("another instance holds %1 but does not answer on %2")
                          .arg(m_lockPath, m_socketPath);
            return false;
        }
        QThread::msleep(50);
    }
    socket.write(kShowRequest, qstrlen(kShowRequest));
    const bool sent = socket.waitForBytesWritten(std::max<qint64>(1000, deadline.remainingTime()));
    if (!sent)
        m_error = QStringLiteral("cannot send to %1: %2").arg(m_socketPath, socket.errorString());
    socket.disconnectFromServer();
    return sent;
}
