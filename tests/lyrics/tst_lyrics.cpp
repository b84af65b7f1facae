// Lyrics without a window: the selected row resolved against a scripted
// catalogue on 127.0.0.1, what reaches the desktop's web handler and what
// the message boxes say.
#include "fakedialogs.h"
#include "fakeurlopener.h"
#include "lyrics.h"
#include "scriptedcatalogue.h"

#include <QtTest>

class LyricsTest : public QObject
{
    Q_OBJECT
private slots:
    void openLyrics_data();
    void openLyrics();
};

void LyricsTest::openLyrics_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("path"); // after the catalogue address; empty: nothing opened
    QTest::addColumn<QString>("message");
    QTest::newRow("987") << 0 << QByteArray("<lrcid>987</lrcid>") << "/bdlrc/9/987.lrc" << "";
    QTest::newRow("56") << 0 << QByteArray("<lrcid>56</lrcid>") << "/bdlrc/0/56.lrc" << "";
    QTest::newRow("900") << 0 << QByteArray("<lrcid>900</lrcid>") << "/bdlrc/9/900.lrc" << "";
    QTest::newRow("upper-case tags") << 0 << QByteArray("<LRCID>123</LRCID>") << "/bdlrc/1/123.lrc" << "";
    QTest::newRow("0: nothing") << 0 << QByteArray("<lrcid>0</lrcid>") << "" << "";
    QTest::newRow("no field") << 0 << QByteArray("<encode>x</encode>") << "" << "抱歉,该歌曲歌词未找到!";
    QTest::newRow("empty field") << 0 << QByteArray("<lrcid></lrcid>") << "" << "抱歉,该歌曲歌词未找到!";
    QTest::newRow("no reply") << 0 << QByteArray() << "" << "抱歉,该歌曲歌词未找到!";
    QTest::newRow("-5") << 0 << QByteArray("<lrcid>-5</lrcid>") << "/bdlrc/0/-5.lrc" << "";
    QTest::newRow("abc") << 0 << QByteArray("<lrcid>abc</lrcid>") << "/bdlrc/0/abc.lrc" << "";
    QTest::newRow("12.5") << 0 << QByteArray("<lrcid>12.5</lrcid>") << "/bdlrc/0/12.5.lrc" << "";
    QTest::newRow("a path in the id stays in the file name")
        << 0 << QByteArray("<lrcid>5/../../x</lrcid>") << "/bdlrc/0/5%2F..%2F..%2Fx.lrc" << "";
    QTest::newRow("one-byte singer: silent") << 1 << QByteArray("<lrcid>987</lrcid>") << "" << "";
    QTest::newRow("no row: silent") << -1 << QByteArray("<lrcid>987</lrcid>") << "" << "";
}

void LyricsTest::openLyrics()
{
    QFETCH(int, row);
    QFETCH(QByteArray, reply);
    QFETCH(QString, path);
    QFETCH(QString, message);

    ScriptedCatalogue c([reply](const QByteArray &) { return FixtureReply{200, reply}; });
    c.songs.fillSongList(QStringLiteral("<name>歌手$$歌名</name><name>Z$$zed</name>"), 0, QString());
    c.selectRow(row);
    FakeDialogs dialogs;
    FakeUrlOpener opener;
    Lyrics lyrics(c.resolver, c.selection, dialogs, opener, c.server.baseUrl());

    lyrics.openLyrics();

    QCOMPARE(c.server.targets().size(), row == 0 ? 1 : 0);
    QCOMPARE(opener.opened(), path.isEmpty() ? QStringList() : QStringList{QString::fromLatin1(c.server.baseUrl()) + path});
    if (message.isEmpty()) {
        QVERIFY(dialogs.messages().isEmpty());
    } else {
        QCOMPARE(dialogs.messages(), (QList<FakeDialogs::Message>{{QStringLiteral("提示"), message}}));
    }
}

QTEST_GUILESS_MAIN(LyricsTest)
#include "tst_lyrics.moc"
