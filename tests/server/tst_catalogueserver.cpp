// The catalogue server as the music box meets it: a process on 127.0.0.1
// answering plain HTTP GETs whose variable parts are GBK bytes, sent raw or
// percent-encoded the way the music box sends them.

#include "catalogueserverprocess.h"
#include "composer.h"
#include "demosongs.h"
#include "mediawriters.h"
#include "synthesizer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <memory>

#include <signal.h>

namespace {

QByteArray gbk(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QString fromGbk(const QByteArray &bytes)
{
    QStringDecoder decoder("GB18030");
    return decoder.decode(bytes);
}

// The music box's wire encoding: controls, space, bytes from 0x80, the
// characters " < > \ ^ ` { | } # and a '%' that does not start an escape
// are percent-encoded; everything else travels as it is.
QByteArray wire(const QByteArray &bytes)
{
    static const QByteArray kUnsafe = "\"<>\\^`{|}#";
    auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        bool escape = c <= 0x20 || c == 0x7F || c >= 0x80 || kUnsafe.contains(char(c));
        if (c == '%')
            escape = !(i + 2 < bytes.size() && isHex(bytes[i + 1]) && isHex(bytes[i + 2]));
        if (escape)
            out += '%' + QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
        else
            out += char(c);
    }
    return out;
}

// Text between two markers, markers matched without regard to ASCII case.
QByteArray textBetween(const QByteArray &text, const QByteArray &start, const QByteArray &end)
{
    const QByteArray lower = text.toLower();
    qsizetype from = lower.indexOf(start.toLower());
    if (from < 0)
        return {};
    from += start.size();
    const qsizetype to = lower.indexOf(end.toLower(), from);
    return to < 0 ? QByteArray() : text.mid(from, to - from);
}

// The "<name>" elements of a search or chart reply, as the music box cuts them.
QStringList catalogueNames(const QByteArray &reply)
{
    const QStringList pieces = fromGbk(reply).split(QStringLiteral("<name>"));
    QStringList names;
    for (qsizetype k = 1; k < pieces.size(); ++k)
        names << pieces[k].section(QStringLiteral("</name>"), 0, 0);
    return names;
}

// The category names: for each "<data>", the name found in the text before it.
QStringList categoryNames(const QByteArray &reply)
{
    QStringList names;
    QByteArray rest = reply;
    qsizetype at;
    while ((at = rest.indexOf("<data>")) >= 0) {
        names << fromGbk(textBetween(rest.left(at), "<name>", "</name>"));
        rest = rest.mid(at + 6);
    }
    return names;
}

struct HttpReply {
    int status = 0;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
};

// One request on its own connection, written byte for byte as given.
HttpReply httpRequest(quint16 port, const QByteArray &target, const QList<QByteArray> &extraHeaders = {},
                      const QByteArray &method = "GET")
{
    HttpReply reply;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000))
        return reply;
    QByteArray request = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
        + "\r\nConnection: close\r\n";
    for (const QByteArray &header : extraHeaders)
        request += header + "\r\n";
    request += "\r\n";
    socket.write(request);
    QByteArray raw;
    QElapsedTimer timer;
    timer.start();
    // Read until the server closes the connection or the announced body
    // is complete (an early error reply may leave the connection open).
    auto complete = [&raw] {
        const qsizetype end = raw.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        static const QRegularExpression length(QStringLiteral("(?im)^content-length:\\s*(\\d+)"));
        const QRegularExpressionMatch match = length.match(QString::fromLatin1(raw.left(end)));
        return match.hasMatch() && raw.size() - end - 4 >= match.captured(1).toLongLong();
    };
    while (socket.state() != QAbstractSocket::UnconnectedState && timer.elapsed() < 5000 && !complete()) {
        socket.waitForReadyRead(100);
        raw += socket.readAll();
    }
    raw += socket.readAll();

    const qsizetype headerEnd = raw.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return reply;
    const QList<QByteArray> lines = raw.left(headerEnd).split('\n');
    const QList<QByteArray> statusLine = lines.front().trimmed().split(' ');
    reply.status = statusLine.size() > 1 ? statusLine[1].toInt() : 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            reply.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    reply.body = raw.mid(headerEnd + 4);
    return reply;
}

std::vector<int16_t> tone(double seconds, double frequency)
{
    constexpr int kRate = 44100;
    std::vector<int16_t> pcm(size_t(seconds * kRate));
    for (size_t n = 0; n < pcm.size(); ++n)
        pcm[n] = int16_t(8000 * std::sin(6.283185307179586 * frequency * double(n) / kRate));
    return pcm;
}

std::filesystem::path nativePath(const QString &path)
{
    const QByteArray utf8 = path.toUtf8();
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The port of a started server, 0 when it did not start on 127.0.0.1.
quint16 portOf(const CatalogueServerProcess &server)
{
    return server.baseUrl().startsWith("http://127.0.0.1:") ? server.port() : 0;
}

// Whether the server has closed this connection (it reads end of stream).
bool closedByServer(QTcpSocket &socket, int waitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (socket.state() == QAbstractSocket::ConnectedState && timer.elapsed() < waitMs) {
        socket.waitForReadyRead(50);
        socket.readAll();
    }
    return socket.state() != QAbstractSocket::ConnectedState;
}

} // namespace

class TestCatalogueServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void search_data();
    void search();
    void chart_data();
    void chart();
    void categories();
    void songAddress_data();
    void songAddress();
    void unknownSong();
    void lastSegmentIsNotAPath();
    void ranges_data();
    void ranges();
    void lyrics();
    void badRequests_data();
    void badRequests();
    void headAndMethods();
    void questionMarkInSearch();
    void slowClientDoesNotBlockOthers();
    void slowAndIdleClientsAreCut();
    void headerFlood_data();
    void headerFlood();
    void swappedInLinkIsRefused();
    void commandLineErrors_data();
    void commandLineErrors();
    void generatorIsDeterministic_data();
    void generatorIsDeterministic();
    void stopsOnSignal_data();
    void stopsOnSignal();

private:
    QByteArray get(const QByteArray &target) { return httpRequest(m_port, target).body; }
    QString libraryFile(const QString &relative) const { return m_library + QLatin1Char('/') + relative; }

    QTemporaryDir m_dir;
    QString m_library;
    std::unique_ptr<CatalogueServerProcess> m_server;
    quint16 m_port = 0;
    bool m_haveWma = false;
};

void TestCatalogueServer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_library = m_dir.filePath(QStringLiteral("library"));
    QVERIFY(QDir().mkpath(m_library));
    for (const char *folder : {"流行", "摇滚", "民谣", "古典", "爵士"})
        QVERIFY(QDir(m_library).mkpath(QString::fromUtf8(folder)));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("outside"))));

    std::string error;
    struct Tagged {
        const char *file;
        demolib::SongTags tags;
    };
    const Tagged tagged[] = {
        {"流行/林晓月 - 晴天的信.mp3", {"林晓月", "晴天的信", "流行"}},
        {"流行/Amber Kestrel - Paper Boats.mp3", {"Amber Kestrel", "Paper Boats", "流行"}},
        {"摇滚/Juno Marlowe - Rain+Shine.mp3", {"Juno Marlowe", "Rain+Shine", "摇滚"}},
        {"民谣/夏知秋 - 无题.mp3", {"夏知秋", "", "民谣"}},
        {"爵士/Mira Solenne - Autumn Café Walk.mp3", {"Mira Solenne", "Autumn Café Walk", "爵士"}},
        {"爵士/Juno Marlowe - Why?.mp3", {"Juno Marlowe", "Why?", "爵士"}},
    };
    double frequency = 330;
    for (const Tagged &song : tagged) {
        const auto file = nativePath(libraryFile(QString::fromUtf8(song.file)));
        QVERIFY2(demolib::writeMp3(file, tone(0.6, frequency += 40), 44100, 96, error), error.c_str());
        QVERIFY2(demolib::writeTags(file, song.tags, error), error.c_str());
    }
    // Named by their file names only.
    QVERIFY2(demolib::writeMp3(nativePath(libraryFile(QStringLiteral("Tidewater Echo - Harbor Lights.mp3"))),
                               tone(0.5, 220), 44100, 96, error),
             error.c_str());
    QVERIFY2(demolib::writeMidi(nativePath(libraryFile(QStringLiteral("古典/顾清弦 - 寒江独钓.mid"))),
                                demolib::compose(demolib::Style::Classical, 7, 10), error),
             error.c_str());
    const auto wav = nativePath(libraryFile(QStringLiteral("古典/苏沐白 - 雨后的街角.wav")));
    QVERIFY2(demolib::writeWav(wav, tone(0.4, 440), 44100, error), error.c_str());
    QVERIFY2(demolib::writeTags(wav, {"苏沐白", "雨后的街角", "古典"}, error), error.c_str());
    const auto wma = nativePath(libraryFile(QStringLiteral("古典/Oskar Wendt - Little Minuet.wma")));
    m_haveWma = demolib::writeWma(wma, tone(0.5, 523), 44100, 96, error)
        && demolib::writeTags(wma, {"Oskar Wendt", "Little Minuet", "古典"}, error);
    if (!m_haveWma)
        qWarning("no WMA in the fixture: %s", error.c_str());

    QVERIFY2(demolib::writeLyrics(nativePath(libraryFile(QStringLiteral("流行/林晓月 - 晴天的信.lrc"))),
                                  {"林晓月", "晴天的信", "流行"},
                                  {{0.0, "晴天的信 - 林晓月"}, {2.5, "窗外的阳光写成一封信"}}, error),
             error.c_str());

    // A file outside the library, reachable only through a link inside it.
    const QString secret = m_dir.filePath(QStringLiteral("outside/Secret Agent - Hidden.mp3"));
    QVERIFY(demolib::writeMp3(nativePath(secret), tone(0.3, 600), 44100, 96, error));
    QVERIFY(demolib::writeTags(nativePath(secret), {"Secret Agent", "Hidden", "流行"}, error));
    QVERIFY(QFile::link(secret, libraryFile(QStringLiteral("secret-link.mp3"))));
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("outside")), libraryFile(QStringLiteral("outside-folder"))));

    m_server = std::make_unique<CatalogueServerProcess>(QStringLiteral(CATALOGUE_SERVER), m_library);
    m_port = portOf(*m_server);
    QVERIFY(m_port != 0);
}

void TestCatalogueServer::cleanupTestCase()
{
    m_server.reset();
}

void TestCatalogueServer::search_data()
{
    QTest::addColumn<QByteArray>("text");       // as it stands in the request target
    QTest::addColumn<QStringList>("expected");  // catalogue names, any order

    const QStringList sunny{QStringLiteral("林晓月$$晴天的信$$$$")};
    const QStringList boats{QStringLiteral("Amber Kestrel$$Paper Boats$$$$")};
    QTest::newRow("Chinese title") << wire(gbk(QStringLiteral("晴天"))) << sunny;
    QTest::newRow("Chinese singer") << wire(gbk(QStringLiteral("林晓月"))) << sunny;
    QTest::newRow("raw GBK bytes") << gbk(QStringLiteral("晴天")) << sunny;
    QTest::newRow("Latin, lower case") << QByteArray("amber") << boats;
    QTest::newRow("Latin, upper case, space") << wire("PAPER BOATS") << boats;
    QTest::newRow("percent-encoded ASCII") << QByteArray("%41mber") << boats;
    QTest::newRow("plus is a plus") << QByteArray("Rain+Shine")
                                    << QStringList{QStringLiteral("Juno Marlowe$$Rain+Shine$$$$")};
    QTest::newRow("plus is not a space") << QByteArray("Paper+Boats") << QStringList{};
    QTest::newRow("ampersand ends the text") << QByteArray("Paper&Boats") << boats;
    QTest::newRow("accented Latin") << wire(gbk(QStringLiteral("Café")))
                                    << QStringList{QStringLiteral("Mira Solenne$$Autumn Café Walk$$$$")};
    QTest::newRow("artist without title") << wire(gbk(QStringLiteral("夏知秋")))
                                          << QStringList{QStringLiteral("夏知秋$$$$$$")};
    QTest::newRow("untagged MP3 named by file") << QByteArray("harbor")
                                                << QStringList{QStringLiteral("Tidewater Echo$$Harbor Lights$$$$")};
    QTest::newRow("MIDI named by file") << wire(gbk(QStringLiteral("寒江")))
                                        << QStringList{QStringLiteral("顾清弦$$寒江独钓$$$$")};
    QTest::newRow("tagged WAV") << wire(gbk(QStringLiteral("雨后")))
                                << QStringList{QStringLiteral("苏沐白$$雨后的街角$$$$")};
    QTest::newRow("genre as a word") << wire(gbk(QStringLiteral("流行"))) << sunny + boats;
    QTest::newRow("question mark listed full-width") << QByteArray("why")
                                                   << QStringList{QStringLiteral("Juno Marlowe$$Why？$$$$")};
    QTest::newRow("no match") << QByteArray("zzzz") << QStringList{};
    QTest::newRow("invalid GBK") << QByteArray("%FF%FF%81") << QStringList{};
    QTest::newRow("link out of the library") << QByteArray("Secret") << QStringList{};
}

void TestCatalogueServer::search()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);

    const HttpReply reply = httpRequest(m_port, "/x?op=7&mode=1&count=1&title=" + text);
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.header("Content-Type").toLower().contains("gbk"));
    QVERIFY(reply.body.startsWith("<?xml version=\"1.0\" encoding=\"gbk\"?>"));
    QStringList names = catalogueNames(reply.body);
    QCOMPARE(textBetween(reply.body, "<count>", "</count>").toInt(), names.size());
    names.sort();
    expected.sort();
    QCOMPARE(names, expected);
}

void TestCatalogueServer::chart_data()
{
    QTest::addColumn<QByteArray>("listId");
    QTest::addColumn<bool>("withUntitled"); // the start-up mix's first half lists the untitled songs

    for (const char *id : {"5", "2", "110", "112", "17"})
        QTest::newRow(id) << QByteArray(id) << false;
    for (const char *id : {"200", "205", "210"})
        QTest::newRow(id) << QByteArray(id) << true;
    for (const char *id : {"100", "103"})
        QTest::newRow(id) << QByteArray(id) << false;
}

void TestCatalogueServer::chart()
{
    QFETCH(QByteArray, listId);
    QFETCH(bool, withUntitled);

    const QByteArray first = get("/x?op=22&listid=" + listId);
    const QStringList names = catalogueNames(first);
    QVERIFY(!names.isEmpty());
    QVERIFY(names.size() <= 20);
    QCOMPARE(textBetween(first, "<count>", "</count>").toInt(), names.size());
    for (const QString &name : names) {
        QVERIFY2(name.endsWith(QStringLiteral("$$$$")) && name.count(QStringLiteral("$$")) >= 3, qPrintable(name));
        QVERIFY2(!name.startsWith(QStringLiteral("Secret")), qPrintable(name));
    }
    if (withUntitled)
        QVERIFY(names.contains(QStringLiteral("夏知秋$$$$$$")));
    QCOMPARE(get("/x?op=22&listid=" + listId), first);

    // Ids that are neither in the chart menu nor in the start-up ranges.
    for (const QByteArray unknown : {"0", "99", "211", "999999"}) {
        const HttpReply empty = httpRequest(m_port, "/x?op=22&listid=" + unknown);
        QCOMPARE(empty.status, 200);
        QVERIFY(catalogueNames(empty.body).isEmpty());
    }
}

void TestCatalogueServer::categories()
{
    const HttpReply reply = httpRequest(m_port, "/x?op=3&list_cat=5");
    QCOMPARE(reply.status, 200);
    const QStringList names = categoryNames(reply.body);
    QCOMPARE(textBetween(reply.body, "<count>", "</count>").toInt(), names.size());
    QStringList sorted = names;
    sorted.sort();
    const QStringList expected{QStringLiteral("古典"), QStringLiteral("摇滚"), QStringLiteral("民谣"),
                               QStringLiteral("流行"), QStringLiteral("爵士")};
    QStringList expectedSorted = expected;
    expectedSorted.sort();
    QCOMPARE(sorted, expectedSorted);
    QCOMPARE(get("/x?op=3&list_cat=5"), reply.body); // stable order

    // A category chosen in the music box is searched for as it stands.
    const QByteArray rock = get("/x?op=7&mode=1&count=1&title=" + wire(gbk(QStringLiteral("摇滚"))));
    QCOMPARE(catalogueNames(rock), QStringList{QStringLiteral("Juno Marlowe$$Rain+Shine$$$$")});
}

void TestCatalogueServer::songAddress_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<bool>("hasLyrics");

    QTest::newRow("Chinese, with lyrics") << QStringLiteral("林晓月$$晴天的信") << QStringLiteral("流行/林晓月 - 晴天的信.mp3")
                                         << QByteArray("audio/mpeg") << true;
    QTest::newRow("singer only (start-up mix)") << QStringLiteral("夏知秋$$") << QStringLiteral("民谣/夏知秋 - 无题.mp3")
                                                << QByteArray("audio/mpeg") << false;
    QTest::newRow("empty title shown as placeholder")
        << QStringLiteral("夏知秋$$栖木网络") << QStringLiteral("民谣/夏知秋 - 无题.mp3") << QByteArray("audio/mpeg") << false;
    QTest::newRow("plus in the key") << QStringLiteral("Juno Marlowe$$Rain+Shine")
                                     << QStringLiteral("摇滚/Juno Marlowe - Rain+Shine.mp3") << QByteArray("audio/mpeg") << false;
    QTest::newRow("spaces and accents in the file name")
        << QStringLiteral("Mira Solenne$$Autumn Café Walk") << QStringLiteral("爵士/Mira Solenne - Autumn Café Walk.mp3")
        << QByteArray("audio/mpeg") << false;
    QTest::newRow("question mark in the title, listed full-width")
        << QStringLiteral("Juno Marlowe$$Why？") << QStringLiteral("爵士/Juno Marlowe - Why?.mp3") << QByteArray("audio/mpeg")
        << false;
    QTest::newRow("untagged MP3") << QStringLiteral("Tidewater Echo$$Harbor Lights")
                                  << QStringLiteral("Tidewater Echo - Harbor Lights.mp3") << QByteArray("audio/mpeg") << false;
    QTest::newRow("WAV") << QStringLiteral("苏沐白$$雨后的街角") << QStringLiteral("古典/苏沐白 - 雨后的街角.wav")
                         << QByteArray("audio/wav") << false;
    QTest::newRow("MIDI") << QStringLiteral("顾清弦$$寒江独钓") << QStringLiteral("古典/顾清弦 - 寒江独钓.mid")
                          << QByteArray("audio/midi") << false;
    QTest::newRow("WMA") << QStringLiteral("Oskar Wendt$$Little Minuet") << QStringLiteral("古典/Oskar Wendt - Little Minuet.wma")
                         << QByteArray("audio/x-ms-wma") << false;
}

void TestCatalogueServer::songAddress()
{
    QFETCH(QString, key);
    QFETCH(QString, file);
    QFETCH(QByteArray, contentType);
    QFETCH(bool, hasLyrics);
    if (file.endsWith(QStringLiteral(".wma")) && !m_haveWma)
        QSKIP("the WMA encoder is not available");

    const HttpReply reply =
        httpRequest(m_port, "/x?op=12&count=1&mtype=2&title=" + wire(gbk(key)) + "$$$$&listenreelect=0");
    QCOMPARE(reply.status, 200);
    QCOMPARE(textBetween(reply.body, "<count>", "</count>"), QByteArray("1"));
    const QByteArray encode = textBetween(reply.body, "<encode>", "</encode>");
    const QByteArray decode = textBetween(reply.body, "<decode>", "</decode>");
    const QByteArray base = "http://127.0.0.1:" + QByteArray::number(m_port) + "/";
    QVERIFY2(encode.startsWith(base + "song/"), encode.constData());
    QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9._~%-]+$")).match(QString::fromLatin1(decode)).hasMatch(),
             decode.constData());
    QCOMPARE(QUrl::fromPercentEncoding(decode), QFileInfo(file).fileName());
    QCOMPARE(!textBetween(reply.body, "<lrcid>", "</lrcid>").isEmpty(), hasLyrics);

    // The music box swaps the first occurrence of the encode field's last
    // segment for the decode field.
    QByteArray address = encode;
    const QByteArray lastSegment = encode.mid(encode.lastIndexOf('/') + 1);
    address.replace(address.indexOf(lastSegment), lastSegment.size(), decode);
    QVERIFY(QUrl(QString::fromLatin1(address), QUrl::StrictMode).isValid());

    QFile expectedFile(libraryFile(file));
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = expectedFile.readAll();
    const QByteArray target = address.mid(base.size() - 1);
    const HttpReply song = httpRequest(m_port, target);
    QCOMPARE(song.status, 200);
    QCOMPARE(song.header("Content-Type"), contentType);
    QCOMPARE(song.header("Content-Length").toLongLong(), bytes.size());
    QVERIFY(song.body == bytes);

    const HttpReply part = httpRequest(m_port, target, {"Range: bytes=10-19"});
    QCOMPARE(part.status, 206);
    QCOMPARE(part.header("Content-Range"), "bytes 10-19/" + QByteArray::number(bytes.size()));
    QCOMPARE(part.body, bytes.mid(10, 10));
}

void TestCatalogueServer::unknownSong()
{
    for (const QString &key : {QStringLiteral("Nobody$$Nothing"), QStringLiteral("林晓月$$不存在"),
                              QStringLiteral("no separator")}) {
        const HttpReply reply =
            httpRequest(m_port, "/x?op=12&count=1&mtype=2&title=" + wire(gbk(key)) + "$$$$&listenreelect=0");
        QCOMPARE(reply.status, 200);
        QCOMPARE(textBetween(reply.body, "<count>", "</count>"), QByteArray("0"));
        QVERIFY(!reply.body.contains("<encode>"));
    }
}

void TestCatalogueServer::lastSegmentIsNotAPath()
{
    const QByteArray reply = get("/x?op=12&count=1&mtype=2&title=" + wire(gbk(QStringLiteral("林晓月$$晴天的信")))
                                 + "$$$$&listenreelect=0");
    const QByteArray encode = textBetween(reply, "<encode>", "</encode>");
    const QByteArray songPath = encode.mid(encode.indexOf("/song/"), encode.lastIndexOf('/') - encode.indexOf("/song/"));
    QFile expectedFile(libraryFile(QStringLiteral("流行/林晓月 - 晴天的信.mp3")));
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = expectedFile.readAll();
    for (const QByteArray segment : {"..%2F..%2F..%2F..%2Fetc%2Fpasswd", "%2e%2e", "secret-link.mp3"}) {
        const HttpReply song = httpRequest(m_port, songPath + "/" + segment);
        QCOMPARE(song.status, 200);
        QVERIFY(song.body == bytes);
    }
}

void TestCatalogueServer::ranges_data()
{
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<int>("status");
    QTest::addColumn<qint64>("first");  // -1: from the end
    QTest::addColumn<qint64>("length"); // -1: to the end

    QTest::newRow("closed") << QByteArray("bytes=10-19") << 206 << qint64(10) << qint64(10);
    QTest::newRow("open end") << QByteArray("bytes=100-") << 206 << qint64(100) << qint64(-1);
    QTest::newRow("suffix") << QByteArray("bytes=-16") << 206 << qint64(-16) << qint64(16);
    QTest::newRow("past the end, clipped") << QByteArray("bytes=0-99999999") << 206 << qint64(0) << qint64(-1);
    QTest::newRow("start past the end") << QByteArray("bytes=99999999-") << 416 << qint64(0) << qint64(0);
    QTest::newRow("several ranges: whole file") << QByteArray("bytes=0-1,4-5") << 200 << qint64(0) << qint64(-1);
    QTest::newRow("no range") << QByteArray() << 200 << qint64(0) << qint64(-1);
    // A field the server cannot use is ignored; the unit is case-insensitive.
    QTest::newRow("unit in capitals") << QByteArray("Bytes=0-1") << 206 << qint64(0) << qint64(2);
    QTest::newRow("unknown unit ignored") << QByteArray("items=0-1") << 200 << qint64(0) << qint64(-1);
    QTest::newRow("blank after =") << QByteArray("bytes= 2-3") << 206 << qint64(2) << qint64(2);
    QTest::newRow("last before first ignored") << QByteArray("bytes=5-2") << 200 << qint64(0) << qint64(-1);
    QTest::newRow("garbage ignored") << QByteArray("bytes=x-y") << 200 << qint64(0) << qint64(-1);
    QTest::newRow("empty suffix unsatisfiable") << QByteArray("bytes=-0") << 416 << qint64(0) << qint64(0);
    QTest::newRow("huge start unsatisfiable") << QByteArray("bytes=99999999999999999999999-") << 416 << qint64(0)
                                              << qint64(0);
}

void TestCatalogueServer::ranges()
{
    QFETCH(QByteArray, range);
    QFETCH(int, status);
    QFETCH(qint64, first);
    QFETCH(qint64, length);

    const QByteArray reply = get("/x?op=12&count=1&mtype=2&title=Amber%20Kestrel$$Paper%20Boats$$$$&listenreelect=0");
    const QByteArray encode = textBetween(reply, "<encode>", "</encode>");
    const QByteArray target = encode.mid(encode.indexOf("/song/"));
    QFile expectedFile(libraryFile(QStringLiteral("流行/Amber Kestrel - Paper Boats.mp3")));
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = expectedFile.readAll();

    QList<QByteArray> headers;
    if (!range.isEmpty())
        headers << "Range: " + range;
    const HttpReply song = httpRequest(m_port, target, headers);
    QCOMPARE(song.status, status);
    if (status == 416) {
        QCOMPARE(song.header("Content-Range"), "bytes */" + QByteArray::number(bytes.size()));
        return;
    }
    const qint64 from = first < 0 ? bytes.size() + first : first;
    const qint64 count = length < 0 ? bytes.size() - from : length;
    QCOMPARE(song.header("Content-Length").toLongLong(), count);
    QVERIFY(song.body == bytes.mid(from, count));
    if (status == 206) {
        QCOMPARE(song.header("Content-Range"), "bytes " + QByteArray::number(from) + "-"
                     + QByteArray::number(from + count - 1) + "/" + QByteArray::number(bytes.size()));
    }
}

void TestCatalogueServer::lyrics()
{
    const QByteArray reply = get("/x?op=12&count=1&mtype=2&title=" + wire(gbk(QStringLiteral("林晓月$$晴天的信")))
                                 + "$$$$&listenreelect=0");
    const QByteArray lyricsId = textBetween(reply, "<lrcid>", "</lrcid>");
    bool numeric = false;
    const int id = lyricsId.toInt(&numeric);
    QVERIFY(numeric && id > 0);
    const QByteArray folder = QByteArray::number(id / 100);

    const HttpReply lyrics = httpRequest(m_port, "/bdlrc/" + folder + "/" + lyricsId + ".lrc");
    QCOMPARE(lyrics.status, 200);
    QFile expectedFile(libraryFile(QStringLiteral("流行/林晓月 - 晴天的信.lrc")));
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    QCOMPARE(lyrics.body, expectedFile.readAll());
    QVERIFY(fromGbk(lyrics.body).contains(QStringLiteral("[00:02.50]窗外的阳光写成一封信")));

    QCOMPARE(httpRequest(m_port, "/bdlrc/" + QByteArray::number(id / 100 + 1) + "/" + lyricsId + ".lrc").status, 404);
    QCOMPARE(httpRequest(m_port, "/bdlrc/" + folder + "/" + QByteArray::number(id + 1) + ".lrc").status, 404);
    QCOMPARE(httpRequest(m_port, "/bdlrc/0/5.lrc").status, 404);
}

void TestCatalogueServer::badRequests_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<int>("status");

    const QByteArray get = "GET";
    QTest::newRow("unknown op") << QByteArray("/x?op=99") << get << 400;
    QTest::newRow("no op") << QByteArray("/x") << get << 400;
    QTest::newRow("op not a number") << QByteArray("/x?op=seven&title=a") << get << 400;
    QTest::newRow("search without title") << QByteArray("/x?op=7&mode=1&count=1") << get << 400;
    QTest::newRow("chart without id") << QByteArray("/x?op=22") << get << 400;
    QTest::newRow("chart id not a number") << QByteArray("/x?op=22&listid=abc") << get << 400;
    QTest::newRow("negative chart id") << QByteArray("/x?op=22&listid=-1") << get << 400;
    QTest::newRow("huge chart id") << QByteArray("/x?op=22&listid=99999999999999999999") << get << 400;
    QTest::newRow("categories without list_cat") << QByteArray("/x?op=3") << get << 400;
    QTest::newRow("address without title") << QByteArray("/x?op=12&count=1&mtype=2") << get << 400;
    QTest::newRow("bad escape") << QByteArray("/x?op=7&title=%zz") << get << 400;
    QTest::newRow("cut escape") << QByteArray("/x?op=7&title=abc%4") << get << 400;
    QTest::newRow("bad escape in a name") << QByteArray("/x?op%=7") << get << 400;
    QTest::newRow("song id not a number") << QByteArray("/song/abc/x.mp3") << get << 400;
    QTest::newRow("unknown song id") << QByteArray("/song/99999/x.mp3") << get << 404;
    QTest::newRow("song without segment") << QByteArray("/song/1") << get << 404;
    QTest::newRow("lyrics id not a number") << QByteArray("/bdlrc/10/x.lrc") << get << 400;
    QTest::newRow("lyrics not .lrc") << QByteArray("/bdlrc/10/1001.txt") << get << 404;
    QTest::newRow("unknown path") << QByteArray("/nothing") << get << 404;
    QTest::newRow("dot segments") << QByteArray("/../../etc/passwd") << get << 404;
    QTest::newRow("encoded dot segments") << QByteArray("/%2e%2e/%2e%2e/etc/passwd") << get << 404;
    QTest::newRow("dot segments under lyrics") << QByteArray("/bdlrc/../../../etc/passwd") << get << 404;
    QTest::newRow("encoded slashes as lyrics id") << QByteArray("/bdlrc/0/..%2f..%2f..%2fetc%2fpasswd.lrc") << get << 400;
    QTest::newRow("absolute form") << QByteArray("http://127.0.0.1/x?op=3&list_cat=5") << get << 400;
    QTest::newRow("over-long target") << "/x?op=7&title=" + QByteArray(5000, 'a') << get << 414;
    QTest::newRow("very long target") << "/x?op=7&title=" + QByteArray(20000, 'a') << get << 414;
    QTest::newRow("POST") << QByteArray("/x?op=3&list_cat=5") << QByteArray("POST") << 405;
}

void TestCatalogueServer::badRequests()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, method);
    QFETCH(int, status);

    const HttpReply reply = httpRequest(m_port, target, {}, method);
    QCOMPARE(reply.status, status);
    QVERIFY(!reply.body.contains("root:"));
    // The server is still there for the next request.
    QCOMPARE(httpRequest(m_port, "/x?op=3&list_cat=5").status, 200);
}

void TestCatalogueServer::headAndMethods()
{
    const QByteArray reply = get("/x?op=12&count=1&mtype=2&title=Amber%20Kestrel$$Paper%20Boats$$$$&listenreelect=0");
    const QByteArray encode = textBetween(reply, "<encode>", "</encode>");
    const QByteArray target = encode.mid(encode.indexOf("/song/"));
    const qint64 size = QFileInfo(libraryFile(QStringLiteral("流行/Amber Kestrel - Paper Boats.mp3"))).size();

    // HEAD: the fields of the GET reply, no body; a range is not applied.
    const HttpReply head = httpRequest(m_port, target, {"Range: bytes=0-9"}, "HEAD");
    QCOMPARE(head.status, 200);
    QCOMPARE(head.header("Content-Length").toLongLong(), size);
    QCOMPARE(head.header("Accept-Ranges"), QByteArray("bytes"));
    QVERIFY(head.body.isEmpty());
    const HttpReply headSearch = httpRequest(m_port, "/x?op=3&list_cat=5", {}, "HEAD");
    QCOMPARE(headSearch.status, 200);
    QCOMPARE(headSearch.header("Content-Length").toLongLong(), get("/x?op=3&list_cat=5").size());
    QVERIFY(headSearch.body.isEmpty());

    for (const QByteArray method : {"PUT", "DELETE", "OPTIONS"}) {
        const HttpReply other = httpRequest(m_port, "/x?op=3&list_cat=5", {}, method);
        QCOMPARE(other.status, 405);
        QCOMPARE(other.header("Allow"), QByteArray("GET, HEAD"));
    }
}

void TestCatalogueServer::questionMarkInSearch()
{
    // "?" travels raw inside the query and finds the title listed with a
    // full-width question mark.
    const HttpReply reply = httpRequest(m_port, "/x?op=7&mode=1&count=1&title=Why?");
    QCOMPARE(reply.status, 200);
    QCOMPARE(catalogueNames(reply.body), QStringList{QStringLiteral("Juno Marlowe$$Why？$$$$")});
}

void TestCatalogueServer::slowClientDoesNotBlockOthers()
{
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(slow.waitForConnected(3000));
    slow.write("GET /x?op=3&list_cat=5 HTTP/1.1\r\nHost: 127.0.0.1\r\n"); // never finished
    QVERIFY(slow.waitForBytesWritten(1000));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(httpRequest(m_port, "/x?op=22&listid=2").status, 200);
    QVERIFY(timer.elapsed() < 2000);
    slow.abort();
}

void TestCatalogueServer::slowAndIdleClientsAreCut()
{
    // Short deadlines for the test: the head must be complete 600 ms after
    // its first byte; connections without a request go after 400 ms.
    CatalogueServerProcess server(QStringLiteral(CATALOGUE_SERVER), m_library,
                                  {QStringLiteral("--header-timeout"), QStringLiteral("600"),
                                   QStringLiteral("--idle-timeout"), QStringLiteral("400")});
    const quint16 port = portOf(server);
    QVERIFY(port != 0);

    // More slow clients than a thread-per-connection server has threads.
    constexpr int kEach = 24;
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    std::vector<std::unique_ptr<QTcpSocket>> dripping;
    for (int i = 0; i < kEach; ++i) {
        for (auto *list : {&idle, &dripping}) {
            list->push_back(std::make_unique<QTcpSocket>());
            list->back()->connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(list->back()->waitForConnected(3000));
        }
    }
    const QByteArray request = "GET /x?op=3&list_cat=5 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + QByteArray(200, 'a');
    int sent = 0;
    auto drip = [&] {
        for (auto &socket : dripping) {
            if (socket->state() == QAbstractSocket::ConnectedState) {
                socket->write(request.mid(sent % request.size(), 1));
                socket->flush();
            }
        }
        ++sent;
    };

    // Others are answered while the slow ones hold their connections.
    drip();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(httpRequest(port, "/x?op=7&mode=1&count=1&title=a").status, 200);
    QVERIFY2(timer.elapsed() < 1000, QByteArray::number(timer.elapsed()).constData());

    // A byte every 100 ms does not keep a connection: the head's deadline
    // counts from its first byte. Idle connections are closed as well.
    timer.restart();
    while (timer.elapsed() < 2000) {
        drip();
        QTest::qWait(100);
    }
    int idleOpen = 0;
    int drippingOpen = 0;
    for (auto &socket : idle)
        idleOpen += !closedByServer(*socket, 10);
    for (auto &socket : dripping)
        drippingOpen += !closedByServer(*socket, 10);
    QCOMPARE(idleOpen, 0);
    QCOMPARE(drippingOpen, 0);
    QCOMPARE(httpRequest(port, "/x?op=3&list_cat=5").status, 200);
}

void TestCatalogueServer::headerFlood_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("lineLength");
    QTest::newRow("too many bytes") << 3000 << 60;
    QTest::newRow("too many fields") << 100 << 6;
}

void TestCatalogueServer::headerFlood()
{
    QFETCH(int, lines);
    QFETCH(int, lineLength);

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(socket.waitForConnected(3000));
    socket.write("GET /x?op=3&list_cat=5 HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    const QByteArray line = "X-Pad: " + QByteArray(lineLength, 'p') + "\r\n";
    for (int i = 0; i < lines && socket.state() == QAbstractSocket::ConnectedState; ++i)
        socket.write(line);
    socket.write("\r\n");
    socket.flush();
    QByteArray reply;
    QElapsedTimer timer;
    timer.start();
    while (!reply.contains("\r\n") && timer.elapsed() < 5000 && socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(100);
        reply += socket.readAll();
    }
    reply += socket.readAll();
    QVERIFY2(reply.startsWith("HTTP/1.1 431 "), reply.left(80).constData());
    QVERIFY(closedByServer(socket, 3000));
    QCOMPARE(httpRequest(m_port, "/x?op=3&list_cat=5").status, 200);
}

void TestCatalogueServer::swappedInLinkIsRefused()
{
    // A library of its own: its files are swapped for links while it serves.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString library = dir.filePath(QStringLiteral("library"));
    QVERIFY(QDir().mkpath(library + QStringLiteral("/sub")));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("outside/sub"))));
    const QByteArray secret = "secret bytes outside the library";
    for (const QString &name : {QStringLiteral("outside/secret.mp3"), QStringLiteral("outside/sub/Probe B - In Folder.mp3")}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(secret);
    }
    for (const QString &name : {QStringLiteral("Probe A - Top.mp3"), QStringLiteral("sub/Probe B - In Folder.mp3")}) {
        QFile file(library + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("music bytes");
    }
    CatalogueServerProcess server(QStringLiteral(CATALOGUE_SERVER), library);
    const quint16 port = portOf(server);
    QVERIFY(port != 0);
    // Ids follow the files' relative paths: 1 is "Probe A - Top.mp3".
    QCOMPARE(httpRequest(port, "/song/1/x.mp3").body, QByteArray("music bytes"));
    QCOMPARE(httpRequest(port, "/song/2/x.mp3").body, QByteArray("music bytes"));

    // The file becomes a link to a file outside; the folder on the way
    // becomes a link to a folder outside.
    QVERIFY(QFile::remove(library + QStringLiteral("/Probe A - Top.mp3")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("outside/secret.mp3")), library + QStringLiteral("/Probe A - Top.mp3")));
    QVERIFY(QDir(library + QStringLiteral("/sub")).removeRecursively());
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("outside/sub")), library + QStringLiteral("/sub")));
    for (const QByteArray target : {"/song/1/x.mp3", "/song/2/x.mp3"}) {
        const HttpReply reply = httpRequest(port, target);
        QCOMPARE(reply.status, 404);
        QVERIFY(!reply.body.contains(secret));
    }
}

void TestCatalogueServer::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");

    const QString missing = m_dir.filePath(QStringLiteral("no-such-folder"));
    QTest::newRow("no folder") << QStringList{} << 2;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus"), m_library} << 2;
    QTest::newRow("port not a number") << QStringList{QStringLiteral("--port"), QStringLiteral("x"), m_library} << 2;
    QTest::newRow("port too large") << QStringList{QStringLiteral("--port"), QStringLiteral("70000"), m_library} << 2;
    QTest::newRow("missing folder") << QStringList{QStringLiteral("--port"), QStringLiteral("0"), missing} << 1;
    QTest::newRow("port in use") << QStringList{QStringLiteral("--port"), QString::number(m_port), m_library} << 1;
}

void TestCatalogueServer::commandLineErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);

    QProcess process;
    process.start(QStringLiteral(CATALOGUE_SERVER), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY(!process.readAllStandardOutput().contains("listening on"));
}

void TestCatalogueServer::generatorIsDeterministic_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("mp3") << int(demolib::FileFormat::Mp3);
    QTest::newRow("wav") << int(demolib::FileFormat::Wav);
    QTest::newRow("wma") << int(demolib::FileFormat::Wma);
    QTest::newRow("midi") << int(demolib::FileFormat::Midi);
}

void TestCatalogueServer::generatorIsDeterministic()
{
    QFETCH(int, format);
    if (format == int(demolib::FileFormat::Wma) && !m_haveWma)
        QSKIP("the WMA encoder is not available");

    demolib::DemoSong song{"", "测试歌手", "确定的歌", "流行", demolib::Style::Pop, demolib::FileFormat(format), 10, true,
                           {"第一行", "第二行"}};
    QByteArray written[2];
    for (int run = 0; run < 2; ++run) {
        const QString folder = m_dir.filePath(QStringLiteral("determinism-%1-%2").arg(format).arg(run));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QLatin1Char('/') + QString::fromStdString(demolib::demoFileName(song));
        std::string error;
        QVERIFY2(demolib::encodeDemoSong(nativePath(file), song, error), error.c_str());
        QVERIFY2(demolib::finishDemoSong(nativePath(file), song, error), error.c_str());
        QFile out(file);
        QVERIFY(out.open(QIODevice::ReadOnly));
        written[run] = out.readAll();
        QVERIFY(QFile::exists(QFileInfo(file).path() + QLatin1Char('/') + QFileInfo(file).completeBaseName() + ".lrc"));
    }
    QVERIFY(written[0].size() > 100);
    QVERIFY(written[0] == written[1]);
    const QByteArray magic = format == int(demolib::FileFormat::Mp3)  ? QByteArray("ID3")
        : format == int(demolib::FileFormat::Wav)                     ? QByteArray("RIFF")
        : format == int(demolib::FileFormat::Midi)                    ? QByteArray("MThd")
                                                                      : QByteArray("\x30\x26\xB2\x75", 4);
    QVERIFY(written[0].startsWith(magic));
}

void TestCatalogueServer::stopsOnSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("afterRequest");
    QTest::newRow("SIGTERM") << int(SIGTERM) << true;
    QTest::newRow("SIGINT") << int(SIGINT) << true;
    // The signal may come before the server has started serving.
    QTest::newRow("SIGTERM right after listening") << int(SIGTERM) << false;
    QTest::newRow("SIGINT right after listening") << int(SIGINT) << false;
}

void TestCatalogueServer::stopsOnSignal()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, afterRequest);

    CatalogueServerProcess server(QStringLiteral(CATALOGUE_SERVER), m_library);
    const quint16 port = portOf(server);
    QVERIFY(port != 0);
    QProcess &process = server.process();
    if (afterRequest)
        QCOMPARE(httpRequest(port, "/x?op=3&list_cat=5").status, 200);
    QVERIFY(::kill(pid_t(process.processId()), signalNumber) == 0);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!probe.waitForConnected(1000));
}

QTEST_GUILESS_MAIN(TestCatalogueServer)
#include "tst_catalogueserver.moc"
