#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One music box per user session. The first start holds a lock file and
// listens on a local socket, both in the user's runtime folder; a later start
// finds the lock taken, asks the running one through the socket to show its
// window, and ends. A lock or socket left behind by a crashed run is taken
// over: the lock names a process that no longer exists, and the socket file
// is replaced once the lock is ours.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Claim {
        Primary,   // this process runs the music box and listens for later starts
        Forwarded, // another one runs; it has been asked to show its window
        NoAnswer,  // another one holds the lock but its socket does not accept
        Unguarded, // the runtime folder is unusable: runs without the guard
    };

    // name: the stem of the lock and socket files (the application id).
    // folder: where they live; empty for the user's runtime folder.
    explicit SingleInstance(const QString &name, const QString &folder = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Decides this process's role. A later start waits at most waitMs for the
    // running one's socket, which appears right after its lock.
    Claim claim(int waitMs = 3000);

    QString lockPath() const { return m_lockPath; }
    QString socketPath() const { return m_socketPath; }
    // Why the last claim was not Primary or Forwarded.
    QString errorString() const { return m_error; }

signals:
    // A later start asked this one to show its window.
    void activationRequested();

private:
    bool listen();
    bool forward(int waitMs);
    void readRequest(QLocalSocket *socket);

    QString m_lockPath;
    QString m_socketPath;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
