// The catalogue's wire format: splitting, tag extraction, name parts, song
// keys, request bytes and GBK text.
#include "gbk.h"
#include "songlistmodel.h"
#include "wire.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QtTest>

#include <malloc.h>

namespace {

// How a reply became text before replies were read on their bytes: the
// whole body decoded at once. The byte-level reading must give exactly what
// the text rules give on this text.
QString decodedAsAWhole(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    const qsizetype zero = view.indexOf('\0');
    if (zero >= 0)
        view = view.first(zero);
    QByteArray terminated;
    terminated.append(view).append('\n');
    QStringDecoder decoder("GB18030", QStringConverter::Flag::Stateless);
    QString text = decoder.decode(terminated);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

QString show(const QByteArray &reply)
{
    return QString::fromLatin1(reply.toPercentEncoding("<>/$"));
}

// Empty when every byte-level reading of the reply agrees with the text
// rules applied to the reply decoded as a whole; else what differs.
QString differenceFromTextReading(const QByteArray &reply)
{
    const QString text = decodedAsAWhole(reply);
    if (gbk::decode(reply) != text)
        return QStringLiteral("decode: ") + show(reply);

    gbk::Decoder decoder;
    const QStringList names = wire::catalogueNames(text);
    const QList<QByteArrayView> nameBytes = wire::catalogueNameBytes(reply);
    if (nameBytes.size() != names.size())
        return QStringLiteral("name count: ") + show(reply);
    for (qsizetype k = 0; k < names.size(); ++k) {
        if (decoder.decode(nameBytes[k]) != names[k])
            return QStringLiteral("name %1: ").arg(k) + show(reply);
        const wire::NameParts parts = wire::nameParts(names[k]);
        const wire::NamePartBytes partBytes = wire::namePartBytes(nameBytes[k]);
        if (decoder.decode(partBytes.singer) != parts.singer || decoder.decode(partBytes.title) != parts.title)
            return QStringLiteral("name parts %1: ").arg(k) + show(reply);
    }

    if (wire::categoryNamesFromBytes(reply) != wire::categoryNames(text))
        return QStringLiteral("categories: ") + show(reply);
    const QList<std::pair<QByteArray, QByteArray>> markers = {
        {"<encode>", "</encode>"}, {"<name>", "</name>"}, {"<data>", "<name>"}, {"<", ">"}};
    for (const auto &[start, end] : markers)
        if (wire::textBetweenBytes(reply, start, end)
            != wire::textBetween(text, QString::fromLatin1(start), QString::fromLatin1(end)))
            return QStringLiteral("between %1: ").arg(QString::fromLatin1(start)) + show(reply);

    // The list filled from the bytes holds what the list filled from the
    // text holds, cell by cell, and shows a prefix of it.
    SongListModel fromBytes;
    SongListModel fromText;
    if (fromBytes.fillSongList(reply, 7, QStringLiteral("栖木网络"))
        != fromText.fillSongList(text, 7, QStringLiteral("栖木网络")))
        return QStringLiteral("rows: ") + show(reply);
    if (fromBytes.songCount() != fromText.songCount())
        return QStringLiteral("song count: ") + show(reply);
    for (int row = 0; row < fromText.rowCount(); ++row)
        for (int column = 0; column < 3; ++column) {
            const QString cell = fromBytes.cell(row, column);
            if (cell != fromText.cell(row, column))
                return QStringLiteral("cell %1,%2: ").arg(row).arg(column) + show(reply);
            if (fromBytes.data(fromBytes.index(row, column), Qt::DisplayRole).toString() != cell)
                return QStringLiteral("shown %1,%2: ").arg(row).arg(column) + show(reply);
        }
    return {};
}

} // namespace

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
    void bytesReadLikeText_data();
    void bytesReadLikeText();
    void bytesReadLikeTextOnRandomReplies();
    void cellsShowTheirFirstCharacters();
    void numbersFollowEachFill();
    void rowsCostLittleBeyondTheirTexts();
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

void WireTest::bytesReadLikeText_data()
{
    QTest::addColumn<QByteArray>("reply");
    // Sized from the literal, so that zero bytes inside it are kept.
    const auto add = []<size_t N>(const char *name, const char(&reply)[N]) {
        QTest::newRow(name) << QByteArray(reply, N - 1);
    };
    add("two elements, Chinese", "<r><name>\xd6\xdc\xbd\xdc\xc2\xd7$$\xc7\xe7\xcc\xec$$$$</name><name>C$$$$</name>");
    add("four-byte characters whose bytes look like digits",
        "<name>\x81\x30\x81\x30$$\x95\x32\x82\x36\x90\x30\x81\x30$$$$</name><name>\x84\x31\xa4\x37</name>");
    add("broken four-byte sequences before markers", "<name>\x81\x30</name><name>\x81\x30\x81<name>x\x81\x30\x81$$y");
    add("\"<\" after a lead byte", "<name>A\xd6<name>B\xd6</name><name>\xd6$$\xd6</name>");
    add("\"$\" after a lead byte", "<name>\xd6$$\xd6$\xd6$$$$</name>");
    add("missing close tags", "<name>A$$B<x><name>C$$D</name>junk</name><name>E$$F");
    add("upper-case tags", "<NAME>A$$B</NAME><name>C$$D</NAME><Name>E</name>");
    add("zero byte ends the text", "<name>A$$B</name><na\0me>C</name>\0<name>D</name>");
    add("zero byte inside a name", "<name>A$$B\0</name><name>C</name>");
    add("lead byte cut off at the end", "<name>A$$\xd6");
    add("lead byte cut off at a zero byte", "<name>A$$\xd6\0\xdc");
    add("bytes that are no GBK", "<name>\x80$$\xff\xfe</name><name>\xff</name>");
    add("empty names and parts", "<name></name><name>$$</name><name>$$$$</name><name>");
    add("markers cut at the end", "<name>A</name><nam");
    add("categories", "<r><cat><NAME>\xc1\xf7\xd0\xd0</Name><data>1</data></cat><name>\x81<data><data>");
    add("song address", "<encode>http://h/p/\xd6\xdc</ENCODE><decode>\xc7\xe7.mp3\x81</decode>");
    add("empty reply", "");
}

void WireTest::bytesReadLikeText()
{
    QFETCH(QByteArray, reply);
    const QString difference = differenceFromTextReading(reply);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void WireTest::bytesReadLikeTextOnRandomReplies()
{
    // Replies strung together from markers and the byte sequences that could
    // fool a byte-level reader: lead bytes before "<" and "$", digit trail
    // bytes, invalid and cut-off sequences, zero bytes.
    static const QList<QByteArray> pieces = {
        "<name>", "</name>", "<NAME>", "</Name>", "<data>", "<encode>", "</ENCODE>", "$$", "$", "<", ">",
        "name>", "/name>", "A", "0", "9", "\x81", "\xd6\xdc", "\x81\x30", "\x81\x30\x81\x30",
        "\x95\x32\x82\x36", "\x84\x31", "\x80", "\xff", "\xfe", "\x7f", QByteArray(1, '\0')};
    QRandomGenerator random(20240610);
    for (int round = 0; round < 20000; ++round) {
        QByteArray reply;
        const int count = random.bounded(24);
        for (int k = 0; k < count; ++k) {
            const QByteArray &piece = pieces[random.bounded(int(pieces.size()))];
            // Zero bytes rarely, so that most replies are read to their end.
            if (piece.startsWith('\0') && random.bounded(8) != 0)
                continue;
            reply += piece;
        }
        const QString difference = differenceFromTextReading(reply);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
}

void WireTest::cellsShowTheirFirstCharacters()
{
    // A name far longer than a cell can show: the cell keeps all of it, the
    // list shows the first characters, the same as a cut of the whole text,
    // also when the cut falls inside four-byte characters.
    const QByteArray chinese = "\xd6\xdc";
    const QByteArray fourBytes = "\x95\x32\x82\x36";
    const QByteArray mixed = "a" + fourBytes + chinese + "\x81\x30" + fourBytes;
    const QByteArray reply = "<name>" + chinese.repeated(100000) + "$$" + mixed.repeated(5000) + "</name>";
    SongListModel list;
    QCOMPARE(list.fillSongList(reply, 0, QString()), 1);
    const QString singer = list.cell(0, SongListModel::SingerColumn);
    QCOMPARE(singer, QStringLiteral("周").repeated(100000));
    const QString shownSinger = list.data(list.index(0, SongListModel::SingerColumn), Qt::DisplayRole).toString();
    QCOMPARE(shownSinger, singer.left(SongListModel::kShownChars));
    const QString title = list.cell(0, SongListModel::TitleColumn);
    QCOMPARE(title, gbk::decode(mixed.repeated(5000)));
    const QString shownTitle = list.data(list.index(0, SongListModel::TitleColumn), Qt::ToolTipRole).toString();
    QVERIFY(shownTitle.size() == SongListModel::kShownChars || shownTitle.size() == SongListModel::kShownChars - 1);
    QVERIFY(title.startsWith(shownTitle));
    QVERIFY(!shownTitle.back().isHighSurrogate());

    gbk::Decoder decoder;
    QRandomGenerator random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes;
        while (bytes.size() < 40)
            bytes += QList<QByteArray>{"a", chinese, fourBytes, "\x81", "\x81\x30", "\xff"}[random.bounded(6)];
        const int n = random.bounded(1, 12);
        const QString whole = decoder.decode(bytes);
        const QString prefix = decoder.decodePrefix(bytes, n);
        QVERIFY2(whole.startsWith(prefix) && prefix.size() >= qMin<qsizetype>(whole.size(), n) - 1,
                 bytes.toHex().constData());
    }
}

void WireTest::numbersFollowEachFill()
{
    // Numbers and placeholders belong to the fill that added a row.
    SongListModel list;
    QCOMPARE(list.fillSongList(QByteArray("<name>A$$</name><name>B$$T</name>"), 0, wire::kMixPlaceholder), 2);
    QCOMPARE(list.fillSongList(QByteArray("<name>C</name>"), 2, wire::kSearchPlaceholder), 1);
    QCOMPARE(list.fillSongList(QStringLiteral("<name>D$$</name>"), 40, wire::kMixPlaceholder), 1);
    const QStringList expected = {"1", "沐弦软件", "A", "2", "T", "B", "3", "栖木网络", "C", "41", "沐弦软件", "D"};
    QStringList cells;
    for (int row = 0; row < list.rowCount(); ++row)
        for (int column = 0; column < 3; ++column)
            cells << list.data(list.index(row, column), Qt::DisplayRole).toString();
    QCOMPARE(cells, expected);
    QCOMPARE(list.songCount(), 41);
    list.clear();
    QCOMPARE(list.fillSongList(QByteArray("x<name>E</name>"), 0, wire::kSearchPlaceholder), 1);
    QCOMPARE(list.cell(0, SongListModel::NumberColumn), QStringLiteral("1"));
    QCOMPARE(list.cell(0, SongListModel::TitleColumn), QStringLiteral("栖木网络"));
}

void WireTest::rowsCostLittleBeyondTheirTexts()
{
    // 200,000 rows of short names: what the heap grows by, less the name
    // texts themselves, per row.
    const int rows = 200000;
    QByteArray reply;
    for (int i = 0; i < rows; ++i)
        reply += "<name>S" + QByteArray::number(i % 10) + "$$</name>";
    const qsizetype textBytes = 2 * qsizetype(rows);
    SongListModel list;
    const size_t before = mallinfo2().uordblks;
    QCOMPARE(list.fillSongList(reply, 0, wire::kSearchPlaceholder), rows);
    const size_t after = mallinfo2().uordblks;
    if (after <= before)
        QSKIP("the heap cannot be measured here (sanitizer allocator)");
    const double perRow = double(after - before - textBytes) / rows;
    qInfo("%.1f bytes per row beyond its texts", perRow);
    QVERIFY2(perRow <= 64, qPrintable(QString::number(perRow)));
}

QTEST_GUILESS_MAIN(WireTest)
#include "tst_wire.moc"
