// The catalogue server's parts without the network: Range decisions, the
// request head reader and the UTF-8 check of lyrics files.

#include "gbktext.h"
#include "httpanswer.h"
#include "httprequest.h"

#include <QtTest>

Q_DECLARE_METATYPE(RangeDecision::Kind)

class TestServerParts : public QObject {
    Q_OBJECT

private slots:
    void ranges_data();
    void ranges();
    void utf8Detection_data();
    void utf8Detection();
    void pipelinedHeads();
    void unreadableHeads_data();
    void unreadableHeads();
};

void TestServerParts::ranges_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<RangeDecision::Kind>("kind");
    QTest::addColumn<quint64>("first");
    QTest::addColumn<quint64>("last");

    // The examples of RFC 9110 (14.1.2) on a representation of 10,000 bytes.
    const auto partial = RangeDecision::Partial;
    const auto whole = RangeDecision::Whole;
    const auto none = RangeDecision::Unsatisfiable;
    QTest::newRow("first 500") << QByteArray("bytes=0-499") << partial << quint64(0) << quint64(499);
    QTest::newRow("second 500") << QByteArray("bytes=500-999") << partial << quint64(500) << quint64(999);
    QTest::newRow("final 500, suffix") << QByteArray("bytes=-500") << partial << quint64(9500) << quint64(9999);
    QTest::newRow("final 500, open") << QByteArray("bytes=9500-") << partial << quint64(9500) << quint64(9999);
    QTest::newRow("first and last byte") << QByteArray("bytes=0-0,-1") << whole << quint64(0) << quint64(0);
    QTest::newRow("three ranges, blanks") << QByteArray("bytes= 0-999, 4500-5499, -1000") << whole << quint64(0) << quint64(0);
    QTest::newRow("adjacent") << QByteArray("bytes=500-600,601-999") << whole << quint64(0) << quint64(0);
    QTest::newRow("overlapping") << QByteArray("bytes=500-700,601-999") << whole << quint64(0) << quint64(0);
    // Edges: clipping, satisfiability, what is ignored.
    QTest::newRow("last past the end") << QByteArray("bytes=9990-20000") << partial << quint64(9990) << quint64(9999);
    QTest::newRow("suffix longer than file") << QByteArray("bytes=-20000") << partial << quint64(0) << quint64(9999);
    QTest::newRow("unit case") << QByteArray("BYTES=1-2") << partial << quint64(1) << quint64(2);
    QTest::newRow("first at size") << QByteArray("bytes=10000-") << none << quint64(0) << quint64(0);
    QTest::newRow("zero suffix") << QByteArray("bytes=-0") << none << quint64(0) << quint64(0);
    QTest::newRow("none satisfiable") << QByteArray("bytes=10000-10001,20000-") << none << quint64(0) << quint64(0);
    QTest::newRow("one of two satisfiable") << QByteArray("bytes=10000-,0-1") << whole << quint64(0) << quint64(0);
    QTest::newRow("huge first") << QByteArray("bytes=123456789012345678901234567890-") << none << quint64(0) << quint64(0);
    QTest::newRow("other unit") << QByteArray("items=0-1") << whole << quint64(0) << quint64(0);
    QTest::newRow("last before first") << QByteArray("bytes=5-2") << whole << quint64(0) << quint64(0);
    QTest::newRow("no dash") << QByteArray("bytes=5") << whole << quint64(0) << quint64(0);
    QTest::newRow("sign") << QByteArray("bytes=+1-2") << whole << quint64(0) << quint64(0);
    QTest::newRow("empty set") << QByteArray("bytes=") << whole << quint64(0) << quint64(0);
    QTest::newRow("no equals") << QByteArray("bytes 0-1") << whole << quint64(0) << quint64(0);
}

void TestServerParts::ranges()
{
    QFETCH(QByteArray, field);
    QFETCH(RangeDecision::Kind, kind);
    QFETCH(quint64, first);
    QFETCH(quint64, last);

    const RangeDecision decision = decideRange(field.toStdString(), 10000);
    QCOMPARE(decision.kind, kind);
    if (kind == RangeDecision::Partial) {
        QCOMPARE(decision.first, first);
        QCOMPARE(decision.last, last);
    }
    // Nothing of an empty file can be sent.
    if (kind == RangeDecision::Partial)
        QCOMPARE(decideRange(field.toStdString(), 0).kind, RangeDecision::Unsatisfiable);
}

void TestServerParts::utf8Detection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");

    QTest::newRow("Chinese") << QByteArray("[00:01.00]晴天") << true;
    QTest::newRow("four-byte") << QByteArray("\xF0\x9F\x8E\xB5") << true;
    QTest::newRow("ASCII only") << QByteArray("[00:01.00]abc") << false;
    QTest::newRow("GBK") << QByteArray("\xC7\xE7\xCC\xEC") << false;
    QTest::newRow("surrogate") << QByteArray("a\xED\xA0\x80") << false;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\xAF") << false;
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("cut at the end") << QByteArray("\xE6\x99") << false;
    QTest::newRow("lone continuation") << QByteArray("a\x80") << false;
}

void TestServerParts::utf8Detection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    QCOMPARE(gbk::looksLikeUtf8(std::string_view(bytes.constData(), size_t(bytes.size()))), utf8);
}

void TestServerParts::pipelinedHeads()
{
    RequestReader reader;
    const std::string first = "GET /x?op=7&title=Why? HTTP/1.1\r\nHost: a\r\nRange: bytes=0-1\r\n\r\n";
    const std::string second = "HEAD /song/1/x HTTP/1.0\r\n\r\n";
    const std::string both = first + second;
    RequestHead head;
    int status = 0;
    // Byte by byte: nothing is taken before a head is complete.
    for (size_t i = 0; i + 1 < first.size(); ++i) {
        reader.append(&both[i], 1);
        QCOMPARE(reader.next(head, status), RequestReader::State::NeedMore);
    }
    reader.append(both.data() + first.size() - 1, both.size() - first.size() + 1);
    QCOMPARE(reader.next(head, status), RequestReader::State::Complete);
    QCOMPARE(head.method, std::string("GET"));
    QCOMPARE(head.target, std::string("/x?op=7&title=Why?"));
    QCOMPARE(head.range.value_or(""), std::string("bytes=0-1"));
    QVERIFY(head.keepAlive);
    QCOMPARE(reader.pendingBytes(), second.size());
    QCOMPARE(reader.next(head, status), RequestReader::State::Complete);
    QCOMPARE(head.method, std::string("HEAD"));
    QVERIFY(!head.keepAlive); // HTTP/1.0 without keep-alive
    QCOMPARE(reader.next(head, status), RequestReader::State::NeedMore);
}

void TestServerParts::unreadableHeads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");

    QByteArray manyFields = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 65; ++i)
        manyFields += "X-" + QByteArray::number(i) + ": 1\r\n";
    QTest::newRow("65 fields") << manyFields + "\r\n" << 431;
    QTest::newRow("endless field") << "GET / HTTP/1.1\r\nX-Pad: " + QByteArray(20000, 'p') << 431;
    QTest::newRow("endless target") << "GET /" + QByteArray(20000, 'a') << 414;
    QTest::newRow("not HTTP") << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n") << 400;
    QTest::newRow("space in target") << QByteArray("GET /a b HTTP/1.1\r\n\r\n") << 400;
    QTest::newRow("bad field") << QByteArray("GET / HTTP/1.1\r\nNo colon\r\n\r\n") << 400;
    QTest::newRow("HTTP/2.0") << QByteArray("GET / HTTP/2.0\r\n\r\n") << 505;
}

void TestServerParts::unreadableHeads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    RequestReader reader;
    reader.append(bytes.constData(), size_t(bytes.size()));
    RequestHead head;
    int answered = 0;
    QCOMPARE(reader.next(head, answered), RequestReader::State::Failed);
    QCOMPARE(answered, status);
}

QTEST_GUILESS_MAIN(TestServerParts)
#include "tst_serverparts.moc"
