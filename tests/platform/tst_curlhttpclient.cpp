// CurlHttpClient and wireSafeUrl against a real loopback server.

#include "curlhttpclient.h"
#include "fixtureserver.h"
#include "refusingport.h"

#include <QElapsedTimer>
#include <QTest>

#include <sys/resource.h>

using namespace std::chrono_literals;

namespace {

// "周杰伦" in GBK.
const QByteArray zhouJielunGbk("\xD6\xDC\xBD\xDC\xC2\xD7");

long maxResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestCurlHttpClient : public QObject
{
    Q_OBJECT

private slots:
    void wireSafeUrl_data();
    void wireSafeUrl();
    void requestTargetArrivesEncoded_data();
    void requestTargetArrivesEncoded();
    void replyBody_data();
    void replyBody();
    void endlessBodyIsAbandonedAfterLimit();
    void bodySizeLimit_data();
    void bodySizeLimit();
    void stalledServerTimesOut();
    void slowServerWithinTimeOutAnswers();
    void earlyCloseIsFailure();
    void closedPortFailsQuickly();
    void environmentProxyIsIgnored();
};

void TestCurlHttpClient::wireSafeUrl_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("ordinary address")
        << QByteArray("http://127.0.0.1:17380/x?op=22&listid=5")
        << QByteArray("http://127.0.0.1:17380/x?op=22&listid=5");
    QTest::newRow("space") << QByteArray("a b") << QByteArray("a%20b");
    QTest::newRow("CR LF") << QByteArray("a\r\nb") << QByteArray("a%0D%0Ab");
    QTest::newRow("tab") << QByteArray("a\tb") << QByteArray("a%09b");
    QTest::newRow("zero byte") << QByteArray("a\0b", 3) << QByteArray("a%00b");
    QTest::newRow("DEL") << QByteArray("a\x7F" "b") << QByteArray("a%7Fb");
    QTest::newRow("hash") << QByteArray("a#b") << QByteArray("a%23b");
    QTest::newRow("unsafe characters")
        << QByteArray("\"<>\\^`{|}") << QByteArray("%22%3C%3E%5C%5E%60%7B%7C%7D");
    QTest::newRow("lone percent") << QByteArray("100%") << QByteArray("100%25");
    QTest::newRow("percent before non-hex") << QByteArray("%zz") << QByteArray("%25zz");
    QTest::newRow("percent with one hex digit") << QByteArray("%4") << QByteArray("%254");
    QTest::newRow("escape kept") << QByteArray("%41%e4%fF") << QByteArray("%41%e4%fF");
    QTest::newRow("GBK 周杰伦") << zhouJielunGbk << QByteArray("%D6%DC%BD%DC%C2%D7");
    QTest::newRow("high byte then ASCII") << QByteArray("\xFF" "A") << QByteArray("%FFA");
    QTest::newRow("query punctuation kept")
        << QByteArray("&$+=;:@!'()*,~[]/?") << QByteArray("&$+=;:@!'()*,~[]/?");
}

void TestCurlHttpClient::wireSafeUrl()
{
    QFETCH(QByteArray, typed);
    QFETCH(QByteArray, wire);
    QCOMPARE(::wireSafeUrl(typed), wire);
}

void TestCurlHttpClient::requestTargetArrivesEncoded_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("search with GBK, space and &")
        << QByteArray("/x?op=7&mode=1&count=1&title=" + zhouJielunGbk + " a&b")
        << QByteArray("/x?op=7&mode=1&count=1&title=%D6%DC%BD%DC%C2%D7%20a&b");
    QTest::newRow("song address with dollars")
        << QByteArray("/x?op=12&count=1&mtype=2&title=S$$$$$$&listenreelect=0")
        << QByteArray("/x?op=12&count=1&mtype=2&title=S$$$$$$&listenreelect=0");
    QTest::newRow("header injection and fragment")
        << QByteArray("/x?title=a\r\nHost: elsewhere#frag")
        << QByteArray("/x?title=a%0D%0AHost:%20elsewhere%23frag");
    QTest::newRow("percent signs") << QByteArray("/x?title=100%+%41")
                                   << QByteArray("/x?title=100%25+%41");
    QTest::newRow("dot segments kept") << QByteArray("/bdlrc/../9/./987.lrc")
                                       << QByteArray("/bdlrc/../9/./987.lrc");
}

void TestCurlHttpClient::requestTargetArrivesEncoded()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, target);

    FixtureServer server;
    server.setReply({.body = "ok"});
    CurlHttpClient client(1s, 5s);
    QCOMPARE(client.get(server.baseUrl() + path), QByteArray("ok"));
    QCOMPARE(server.targets(), QList<QByteArray>{target});
}

void TestCurlHttpClient::replyBody_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("200 text") << 200 << QByteArray("<name>A$$B</name>")
                              << QByteArray("<name>A$$B</name>");
    // Text decoding (and stopping at a zero byte) is the caller's business.
    QTest::newRow("200 with zero byte") << 200 << QByteArray("ab\0cd", 5) << QByteArray("ab\0cd", 5);
    QTest::newRow("200 GBK bytes raw") << 200 << zhouJielunGbk << zhouJielunGbk;
    QTest::newRow("404 with body") << 404 << QByteArray("<name>not found</name>") << QByteArray();
    QTest::newRow("400") << 400 << QByteArray("bad") << QByteArray();
    QTest::newRow("500") << 500 << QByteArray("oops") << QByteArray();
}

void TestCurlHttpClient::replyBody()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);

    FixtureServer server;
    server.setReply({.status = status, .body = body});
    CurlHttpClient client(1s, 5s);
    const QByteArray got = client.get(server.baseUrl() + "/x?op=3&list_cat=5");
    QCOMPARE(got, expected);
    QCOMPARE(server.targets().size(), 1);
}

// Runs before the other large transfers so that the high-water mark of the
// process's memory still tells how much this transfer buffered.
void TestCurlHttpClient::endlessBodyIsAbandonedAfterLimit()
{
    FixtureServer server;
    FixtureReply endless;
    endless.mode = FixtureReply::Mode::Endless;
    server.setReply(endless);
    CurlHttpClient client(1s, 20s);

    const long residentBefore = maxResidentKiB();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.get(server.baseUrl() + "/x").isEmpty());
    QCOMPARE_LT(timer.elapsed(), 5000); // cut off at the limit, not by the time-out
    QCOMPARE_LT(maxResidentKiB() - residentBefore, 96L * 1024);
}

void TestCurlHttpClient::bodySizeLimit_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("exactly 16 MiB") << qsizetype(CurlHttpClient::maxBodyBytes) << true;
    QTest::newRow("16 MiB and one byte") << qsizetype(CurlHttpClient::maxBodyBytes + 1) << false;
}

void TestCurlHttpClient::bodySizeLimit()
{
    QFETCH(qsizetype, size);
    QFETCH(bool, accepted);

    FixtureServer server;
    server.setReply({.body = QByteArray(size, 'b')});
    CurlHttpClient client(1s, 20s);
    const QByteArray got = client.get(server.baseUrl() + "/x");
    QCOMPARE(got.size(), accepted ? size : 0);
}

void TestCurlHttpClient::stalledServerTimesOut()
{
    FixtureServer server;
    server.setReply({.body = "late", .mode = FixtureReply::Mode::Stall});
    CurlHttpClient client(1s, 1s);

    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.get(server.baseUrl() + "/x").isEmpty());
    QCOMPARE_GE(timer.elapsed(), 900);
    QCOMPARE_LT(timer.elapsed(), 3000);
    QCOMPARE(server.targets().size(), 1);

    // The server goes on serving after a stalled client.
    server.setReply({.body = "next"});
    QCOMPARE(client.get(server.baseUrl() + "/y"), QByteArray("next"));
}

void TestCurlHttpClient::slowServerWithinTimeOutAnswers()
{
    FixtureServer server;
    server.setReply({.body = "slow", .delayMs = 300});
    CurlHttpClient client(1s, 3s);
    QCOMPARE(client.get(server.baseUrl() + "/x"), QByteArray("slow"));
}

void TestCurlHttpClient::earlyCloseIsFailure()
{
    FixtureServer server;
    server.setReply({.body = QByteArray(10000, 'c'), .mode = FixtureReply::Mode::CloseEarly});
    CurlHttpClient client(1s, 5s);
    QVERIFY(client.get(server.baseUrl() + "/x").isEmpty());
}

void TestCurlHttpClient::closedPortFailsQuickly()
{
    RefusingPort closed;
    QVERIFY(closed.isValid());

    CurlHttpClient client; // default time-outs: a refusal must not wait for them
    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.get(closed.baseUrl() + "/x").isEmpty());
    QCOMPARE_LT(timer.elapsed(), 1000);
}

void TestCurlHttpClient::environmentProxyIsIgnored()
{
    RefusingPort proxy;
    QVERIFY(proxy.isValid());
    FixtureServer server;
    server.setReply({.body = "direct"});

    const QByteArray saved = qgetenv("http_proxy");
    const bool wasSet = qEnvironmentVariableIsSet("http_proxy");
    qputenv("http_proxy", proxy.baseUrl());
    const QByteArray got = CurlHttpClient(1s, 5s).get(server.baseUrl() + "/x");
    if (wasSet)
        qputenv("http_proxy", saved);
    else
        qunsetenv("http_proxy");

    QCOMPARE(got, QByteArray("direct"));
}

QTEST_GUILESS_MAIN(TestCurlHttpClient)
#include "tst_curlhttpclient.moc"
