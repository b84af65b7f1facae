// The catalogue's wire format: splitting, tag extraction, name parts, song
// keys, request bytes and GBK text.
#include "gbk.h"
#include "songlistmodel.h"
#include "wire.h"

#include <QElapsedTimer>
#include <QtTest>

class WireTest : public QObject
{
    Q_OBJECT
private slots:
    void splitAt_data();
    void splitAt();
    void textBetween_data();
    void textBetween();
    void catalogueNames_data();
    void catalogueNames();
    void categoryNames_data();
    void categoryNames();
    void nameParts_data();
    void nameParts();
    void requestBytes_data();
    void requestBytes();
    void gbkText();
    void fillNumbersRowsAndCountsSongs();
    void fillWithoutNamesKeepsSongCount();
    void cellsOutsideTheListAreEmpty();
    void fillsAHundredThousandRows();
};

void WireTest::splitAt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("empty text gives no pieces") << "" << "$$" << QStringList{};
    QTest::newRow("no separator") << "abc" << "$$" << QStringList{"abc"};
    QTest::newRow("adjacent separators give empty pieces") << "A$$$$" << "$$" << QStringList{"A", "", ""};
    QTest::newRow("leading separator") << "$$B" << "$$" << QStringList{"", "B"};
    QTest::newRow("case-sensitive") << "a<NAME>b<name>c" << "<name>" << QStringList{"a<NAME>b", "c"};
}

void WireTest::splitAt()
{
    QFETCH(QString, text);
    QFETCH(QString, sep);
    QFETCH(QStringList, pieces);
    QCOMPARE(wire::splitAt(text, sep), pieces);
}

void WireTest::textBetween_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("result");
    QTest::newRow("plain") << "x<encode>p/q/abc</encode>y" << "<encode>" << "</encode>" << "p/q/abc";
    QTest::newRow("upper-case tags still match") << "<ENCODE>Ab</Encode>" << "<encode>" << "</encode>" << "Ab";
    QTest::newRow("missing end marker") << "<encode>p/q/abc" << "<encode>" << "</encode>" << "";
    QTest::newRow("missing start marker") << "p</encode>" << "<encode>" << "</encode>" << "";
    QTest::newRow("first occurrence only") << "<a>1</a><a>2</a>" << "<a>" << "</a>" << "1";
    QTest::newRow("end before start is not used") << "</a><a>x</a>" << "<a>" << "</a>" << "x";
    QTest::newRow("only ASCII letters fold") << "<Ä>x</Ä><ä>y</ä>" << "<ä>" << "</ä>" << "y";
    QTest::newRow("Chinese content") << "<decode>晴天.mp3</decode>" << "<decode>" << "</decode>" << "晴天.mp3";
}

void WireTest::textBetween()
{
    QFETCH(QString, text);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, result);
    QCOMPARE(wire::textBetween(text, start, end), result);
}

void WireTest::catalogueNames_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("two elements, text before ignored")
        << "<result><count>2</count><name>A$$B$$$$</name><name>C$$$$</name></result>"
        << QStringList{"A$$B$$$$", "C$$$$"};
    QTest::newRow("missing close runs to the next element")
        << "<name>A$$B<x><name>C$$D</name>" << QStringList{"A$$B<x>", "C$$D"};
    QTest::newRow("missing close runs to the end") << "<name>A$$B" << QStringList{"A$$B"};
    QTest::newRow("upper-case tags are no elements") << "<NAME>A$$B</NAME>" << QStringList{};
    QTest::newRow("empty reply") << "" << QStringList{};
    QTest::newRow("garbage") << "\xef\xbf\xbd<<>>name>" << QStringList{};
}

void WireTest::catalogueNames()
{
    QFETCH(QString, reply);
    QFETCH(QStringList, names);
    QCOMPARE(wire::catalogueNames(reply), names);
}

void WireTest::categoryNames_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("one name per data")
        << "<r><cat><name>流行</name><data>1</data></cat><cat><name>摇滚</name><data>2</data></cat></r>"
        << QStringList{"流行", "摇滚"};
    QTest::newRow("name after the last data is not read")
        << "<name>A</name><data>1</data><name>B</name>" << QStringList{"A"};
    QTest::newRow("no name before the first data gives an empty name")
        << "<r><data>1</data><name>B</name><data>2</data>" << QStringList{"", "B"};
    QTest::newRow("tags fold case") << "<NAME>Jazz</Name><data>" << QStringList{"Jazz"};
    QTest::newRow("no data") << "<name>A</name>" << QStringList{};
}

void WireTest::categoryNames()
{
    QFETCH(QString, reply);
    QFETCH(QStringList, names);
    QCOMPARE(wire::categoryNames(reply), names);
}

void WireTest::nameParts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("singer");
    QTest::addColumn<QString>("title");
    QTest::newRow("full") << "A$$B$$$$" << "A" << "B";
    QTest::newRow("empty title") << "C$$$$" << "C" << "";
    QTest::newRow("one separator runs to the end") << "A$$B" << "A" << "B";
    QTest::newRow("no separator") << "Solo" << "Solo" << "";
    QTest::newRow("further parts ignored") << "A$$B$$C$$D" << "A" << "B";
}

void WireTest::nameParts()
{
    QFETCH(QString, name);
    QFETCH(QString, singer);
    QFETCH(QString, title);
    const wire::NameParts parts = wire::nameParts(name);
    QCOMPARE(parts.singer, singer);
    QCOMPARE(parts.title, title);
}

void WireTest::requestBytes_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("search, GBK and & unescaped")
        << wire::searchPath(QStringLiteral("周 a&b"))
        << QByteArray("/x?op=7&mode=1&count=1&title=\xd6\xdc a&b");
    QTest::newRow("chart") << wire::chartPath(2) << QByteArray("/x?op=22&listid=2");
    QTest::newRow("categories") << wire::categoryPath() << QByteArray("/x?op=3&list_cat=5");
    QTest::newRow("song address")
        << wire::songAddressPath(wire::songKey(QStringLiteral("S"), QStringLiteral("T")))
        << QByteArray("/x?op=12&count=1&mtype=2&title=S$$T$$$$&listenreelect=0");
    QTest::newRow("mix placeholder gives six dollars")
        << wire::songAddressPath(wire::songKey(QStringLiteral("S"), QStringLiteral("沐弦软件")))
        << QByteArray("/x?op=12&count=1&mtype=2&title=S$$$$$$&listenreelect=0");
    QTest::newRow("search placeholder is sent as a title")
        << wire::songAddressPath(wire::songKey(QStringLiteral("S"), QStringLiteral("栖木网络")))
        << QByteArray("/x?op=12&count=1&mtype=2&title=S$$\xc6\xdc\xc4\xbe\xcd\xf8\xc2\xe7$$$$&listenreelect=0");
    QTest::newRow("lyrics 987") << wire::lyricsPath(QStringLiteral("987")) << QByteArray("/bdlrc/9/987.lrc");
    QTest::newRow("lyrics 5") << wire::lyricsPath(QStringLiteral("5")) << QByteArray("/bdlrc/0/5.lrc");
    QTest::newRow("lyrics 900") << wire::lyricsPath(QStringLiteral("900")) << QByteArray("/bdlrc/9/900.lrc");
    QTest::newRow("lyrics 0056") << wire::lyricsPath(QStringLiteral("0056")) << QByteArray("/bdlrc/0/0056.lrc");
    QTest::newRow("lyrics -5") << wire::lyricsPath(QStringLiteral("-5")) << QByteArray("/bdlrc/0/-5.lrc");
    QTest::newRow("lyrics abc") << wire::lyricsPath(QStringLiteral("abc")) << QByteArray("/bdlrc/0/abc.lrc");
    QTest::newRow("lyrics 12.5") << wire::lyricsPath(QStringLiteral("12.5")) << QByteArray("/bdlrc/0/12.5.lrc");
    QTest::newRow("lyrics 12345.6") << wire::lyricsPath(QStringLiteral("12345.6")) << QByteArray("/bdlrc/123/12345.6.lrc");
    QTest::newRow("lyrics 200 digits") << wire::lyricsPath(QString(200, QLatin1Char('7')))
                                       << "/bdlrc/" + QByteArray(198, '7') + '/' + QByteArray(200, '7') + ".lrc";
    QTest::newRow("lyrics with unsafe characters")
        << wire::lyricsPath(QStringLiteral("1 2/../歌#?")) << QByteArray("/bdlrc/0/1%202%2F..%2F%B8%E8%23%3F.lrc");
}

void WireTest::requestBytes()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, expected);
    QCOMPARE(path, expected);
}

void WireTest::gbkText()
{
    // A zero byte ends the text; invalid bytes become U+FFFD; a lead byte
    // cut off at the end is not silently dropped.
    QCOMPARE(gbk::decode(QByteArray("\xd6\xdc\x00tail", 7)), QStringLiteral("周"));
    QCOMPARE(gbk::decode(QByteArray("A\xff" "B")), QStringLiteral("A\uFFFDB"));
    QCOMPARE(gbk::decode(QByteArray("A\x81")), QStringLiteral("A\uFFFD"));
    QCOMPARE(gbk::encode(QStringLiteral("周杰伦A")), QByteArray("\xd6\xdc\xbd\xdc\xc2\xd7" "A"));
    QCOMPARE(gbk::byteLength(QStringLiteral("a")), 1);
    QCOMPARE(gbk::byteLength(QStringLiteral("周")), 2);
    QCOMPARE(gbk::byteLength(QString()), 0);
}

void WireTest::fillNumbersRowsAndCountsSongs()
{
    SongListModel list;
    const QString reply = QStringLiteral("junk<name>A$$B$$$$</name><name>C$$$$</name><name>E$$F</name>");
    QCOMPARE(list.fillSongList(reply, 20, QStringLiteral("栖木网络")), 3);
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.songCount(), 23);
    QCOMPARE(list.cell(0, SongListModel::NumberColumn), QStringLiteral("21"));
    QCOMPARE(list.cell(0, SongListModel::TitleColumn), QStringLiteral("B"));
    QCOMPARE(list.cell(0, SongListModel::SingerColumn), QStringLiteral("A"));
    QCOMPARE(list.cell(1, SongListModel::TitleColumn), QStringLiteral("栖木网络"));
    QCOMPARE(list.cell(2, SongListModel::NumberColumn), QStringLiteral("23"));
    // A second fill appends; the count follows the last fill.
    QCOMPARE(list.fillSongList(QStringLiteral("<name>G$$H$$$$</name>"), 3, QStringLiteral("沐弦软件")), 1);
    QCOMPARE(list.rowCount(), 4);
    QCOMPARE(list.songCount(), 4);
    QCOMPARE(list.cell(3, SongListModel::NumberColumn), QStringLiteral("4"));
    QCOMPARE(list.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("歌名"));
    QCOMPARE(list.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("歌手"));
}

void WireTest::fillWithoutNamesKeepsSongCount()
{
    SongListModel list;
    list.fillSongList(QStringLiteral("<name>A$$B</name><name>C$$D</name>"), 0, QString());
    list.clear();
    QCOMPARE(list.fillSongList(QStringLiteral("no names here"), 0, QString()), 0);
    QCOMPARE(list.rowCount(), 0);
    QCOMPARE(list.songCount(), 2);
}

void WireTest::cellsOutsideTheListAreEmpty()
{
    SongListModel list;
    list.fillSongList(QStringLiteral("<name>A$$B</name>"), 0, QString());
    QCOMPARE(list.cell(-1, 1), QString());
    QCOMPARE(list.cell(1, 1), QString());
    QCOMPARE(list.cell(0, 3), QString());
}

void WireTest::fillsAHundredThousandRows()
{
    QString reply;
    for (int i = 0; i < 100000; ++i)
        reply += QStringLiteral("<name>歌手%1$$歌名%1$$$$</name>").arg(i);
    SongListModel list;
    QCOMPARE(list.fillSongList(reply, 0, QString()), 100000);
    QCOMPARE(list.songCount(), 100000);
    QCOMPARE(list.cell(99999, SongListModel::TitleColumn), QStringLiteral("歌名99999"));
}

QTEST_GUILESS_MAIN(WireTest)
#include "tst_wire.moc"
