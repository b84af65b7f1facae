// The fixture server itself: the other suites rely on it serving one client
// after another and on its destructor never hanging.

#include "curlhttpclient.h"
#include "fixtureserver.h"

#include <QElapsedTimer>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

// Connects to the server and sends a request, then reads nothing.
int connectAndRequest(quint16 port, const QByteArray &target)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    const QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || send(fd, request.constData(), request.size(), MSG_NOSIGNAL) != request.size()) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class TestFixtureServer : public QObject
{
    Q_OBJECT

private slots:
    void servesSequentialRequestsInOrder();
    void destructionIsPromptWithBusyClient_data();
    void destructionIsPromptWithBusyClient();
};

void TestFixtureServer::servesSequentialRequestsInOrder()
{
    FixtureServer server;
    QVERIFY(server.port() != 0);
    QCOMPARE(server.baseUrl(), "http://127.0.0.1:" + QByteArray::number(server.port()));
    server.setHandler([](const QByteArray &target) {
        FixtureReply reply;
        reply.body = "you asked for " + target;
        return reply;
    });

    CurlHttpClient client(1s, 5s);
    QCOMPARE(client.get(server.baseUrl() + "/a"), QByteArray("you asked for /a"));
    QCOMPARE(client.get(server.baseUrl() + "/b?x=1"), QByteArray("you asked for /b?x=1"));
    QCOMPARE(server.targets(), (QList<QByteArray>{"/a", "/b?x=1"}));

    server.clearTargets();
    QVERIFY(client.get(server.baseUrl() + "/c").startsWith("you asked"));
    QCOMPARE(server.targets(), QList<QByteArray>{"/c"});
}

void TestFixtureServer::destructionIsPromptWithBusyClient_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("stalled") << int(FixtureReply::Mode::Stall) << 0;
    QTest::newRow("endless body, client not reading") << int(FixtureReply::Mode::Endless) << 0;
    QTest::newRow("long delay") << int(FixtureReply::Mode::Normal) << 60000;
}

void TestFixtureServer::destructionIsPromptWithBusyClient()
{
    QFETCH(int, mode);
    QFETCH(int, delayMs);

    auto server = std::make_unique<FixtureServer>();
    FixtureReply reply;
    reply.mode = FixtureReply::Mode(mode);
    reply.delayMs = delayMs;
    server->setReply(reply);

    const int fd = connectAndRequest(server->port(), "/busy");
    QVERIFY(fd >= 0);
    QTRY_COMPARE(server->targets().size(), 1);
    QTest::qSleep(100); // let the server settle into stalling, sending or waiting

    QElapsedTimer timer;
    timer.start();
    server.reset();
    QCOMPARE_LT(timer.elapsed(), 1000);
    close(fd);
}

QTEST_GUILESS_MAIN(TestFixtureServer)
#include "tst_fixtureserver.moc"
