// The one-instance guard: a later start reaches the running one and ends,
// whether in the same process or another one, and nothing a crashed run left
// behind (its lock, its socket file) keeps the next start from running.
#include "singleinstance.h"

#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString kName = QStringLiteral("io.example.guardtest");

// Run as `tst_singleinstance --hold FOLDER`: a first instance in another
// process that reports its claim and every activation on stdout.
int holdInstance(const QString &folder)
{
    SingleInstance instance(kName, folder);
    QTextStream out(stdout);
    out << (instance.claim() == SingleInstance::Claim::Primary ? "primary" : "not primary") << Qt::endl;
    QObject::connect(&instance, &SingleInstance::activationRequested, [&out] { out << "activated" << Qt::endl; });
    return QCoreApplication::exec();
}

QByteArray readLine(QProcess &process)
{
    QDeadlineTimer deadline(10000);
    while (!process.canReadLine() && !deadline.hasExpired())
        process.waitForReadyRead(100);
    return process.readLine().trimmed();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void secondStartInTheSameProcessShowsTheFirst()
    {
        auto first = std::make_unique<SingleInstance>(kName, m_dir->path());
        QCOMPARE(first->claim(), SingleInstance::Claim::Primary);
        QSignalSpy activated(first.get(), &SingleInstance::activationRequested);

        SingleInstance second(kName, m_dir->path());
        QCOMPARE(second.claim(), SingleInstance::Claim::Forwarded);
        QTRY_COMPARE(activated.size(), 1);
        SingleInstance third(kName, m_dir->path());
        QCOMPARE(third.claim(), SingleInstance::Claim::Forwarded);
        QTRY_COMPARE(activated.size(), 2);

        // A first instance that ends cleanly leaves neither file behind.
        first.reset();
        QVERIFY(!QFile::exists(second.lockPath()));
        QVERIFY(!QFile::exists(second.socketPath()));
        QCOMPARE(second.claim(), SingleInstance::Claim::Primary);
    }

    void secondStartReachesAnotherProcessAndACrashLeavesNothingInTheWay()
    {
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), m_dir->path()});
        QVERIFY(holder.waitForStarted());
        QCOMPARE(readLine(holder), QByteArray("primary"));

        SingleInstance second(kName, m_dir->path());
        QCOMPARE(second.claim(), SingleInstance::Claim::Forwarded);
        QCOMPARE(readLine(holder), QByteArray("activated"));

        // Killed without a chance to clean up: the lock names a process that
        // is gone and the socket file has no listener.
        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(QFile::exists(second.lockPath()));
        QVERIFY(QFile::exists(second.socketPath()));

        SingleInstance next(kName, m_dir->path());
        QCOMPARE(next.claim(), SingleInstance::Claim::Primary);
        QSignalSpy activated(&next, &SingleInstance::activationRequested);
        SingleInstance later(kName, m_dir->path());
        QCOMPARE(later.claim(), SingleInstance::Claim::Forwarded);
        QTRY_COMPARE(activated.size(), 1);
    }

    void staleSocketFileWithoutLockIsReplaced()
    {
        SingleInstance instance(kName, m_dir->path());
        // A socket file bound and never unlinked, as a crash leaves it.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(instance.socketPath());
        QVERIFY(size_t(path.size()) < sizeof(address.sun_path));
        qstrcpy(address.sun_path, path.constData());
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        ::close(fd);
        QVERIFY(QFile::exists(instance.socketPath()));

        QCOMPARE(instance.claim(), SingleInstance::Claim::Primary);
        QSignalSpy activated(&instance, &SingleInstance::activationRequested);
        SingleInstance second(kName, m_dir->path());
        QCOMPARE(second.claim(), SingleInstance::Claim::Forwarded);
        QTRY_COMPARE(activated.size(), 1);
    }

    void lockHeldByALiveProcessThatDoesNotListenIsReported()
    {
        SingleInstance instance(kName, m_dir->path());
        QLockFile held(instance.lockPath());
        QVERIFY(held.tryLock(0));

        QCOMPARE(instance.claim(200), SingleInstance::Claim::NoAnswer);
        QVERIFY(instance.errorString().contains(instance.socketPath()));
        QVERIFY(QFile::exists(instance.lockPath())); // a live lock is never taken away
    }

    void unusableFolderRunsUnguarded()
    {
        SingleInstance instance(kName, m_dir->filePath(QStringLiteral("missing/folder")));
        QCOMPARE(instance.claim(), SingleInstance::Claim::Unguarded);
        QVERIFY(!instance.errorString().isEmpty());
    }

    void onlyTheShowRequestActivates()
    {
        SingleInstance instance(kName, m_dir->path());
        QCOMPARE(instance.claim(), SingleInstance::Claim::Primary);
        QSignalSpy activated(&instance, &SingleInstance::activationRequested);

        const auto send = [&](const QByteArray &bytes) {
            QLocalSocket client;
            client.connectToServer(instance.socketPath());
            QVERIFY(client.waitForConnected(1000));
            client.write(bytes);
            QVERIFY(client.waitForBytesWritten(1000));
            // The server drops the connection after one line or too many bytes.
            QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
        };
        send("hello\n");
        send("show please\n");
        send(QByteArray(200, 's'));
        QCOMPARE(activated.size(), 0);
        send("show\n");
        QCOMPARE(activated.size(), 1);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir; // a fresh runtime folder for each case
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0)
        return holdInstance(QString::fromLocal8Bit(argv[2]));
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
