// The catalogue's controllers without a window: song resolution (key rules,
// the address made of a reply, the lyrics id), search and the categories,
// against a scripted catalogue on 127.0.0.1 behind the real HTTP client.
#include "catalogue.h"
#include "charts.h"
#include "curlhttpclient.h"
#include "fakedialogs.h"
#include "fixtureserver.h"
#include "gbk.h"
#include "songlistmodel.h"
#include "songresolver.h"
#include "songsearch.h"

#include <QSignalSpy>
#include <QtTest>

class CatalogueTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void addressFromReply_data();
    void addressFromReply();
    void songKeys_data();
    void songKeys();
    void resolutionReturnsItsOwnResult();
    void searchRefusesEmptyTextAndAnnouncesTheSearchText();
    void categoriesAreAnnounced();
    void oneActionCostsOneTimeOut();

private:
    std::unique_ptr<FixtureServer> m_server;
    std::unique_ptr<CurlHttpClient> m_http;
    std::unique_ptr<Catalogue> m_catalogue;
    SongListModel m_songs;
    QByteArray m_reply; // what the catalogue answers to every request
};

void CatalogueTest::init()
{
    m_server = std::make_unique<FixtureServer>();
    m_server->setHandler([this](const QByteArray &) { return FixtureReply{200, m_reply}; });
    m_http = std::make_unique<CurlHttpClient>(std::chrono::milliseconds(1000), std::chrono::milliseconds(2000));
    m_catalogue = std::make_unique<Catalogue>(*m_http, m_server->baseUrl());
    m_songs.clear();
}

void CatalogueTest::cleanup()
{
    m_catalogue.reset();
    m_http.reset();
    m_server.reset();
}

void CatalogueTest::addressFromReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("address");
    QTest::newRow("last segment replaced") << "<encode>p/q/abc</encode><decode>x.mp3</decode>" << "p/q/x.mp3";
    QTest::newRow("no slash: replaced whole") << "<encode>abc</encode><decode>x.mp3</decode>" << "x.mp3";
    QTest::newRow("no decode: segment removed") << "<encode>p/q/abc</encode>" << "p/q/";
    QTest::newRow("folder: decode appended") << "<encode>http://h/s/</encode><decode>x.mp3</decode>"
                                             << "http://h/s/x.mp3";
    QTest::newRow("first occurrence, case-sensitive")
        << "<ENCODE>http://h/abc/Abc/abc</ENCODE><Decode>x.wma</Decode>" << "http://h/x.wma/Abc/abc";
    QTest::newRow("no encode") << "<decode>x.mp3</decode>" << "";
    QTest::newRow("empty reply") << "" << "";
}

void CatalogueTest::addressFromReply()
{
    QFETCH(QString, reply);
    QFETCH(QString, address);
    QCOMPARE(songAddressFromReply(reply).address, address);
}

void CatalogueTest::songKeys_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("placeholder");
    QTest::addColumn<bool>("hasKey");
    QTest::addColumn<QString>("key");
    QTest::newRow("ordinary") << "歌手$$歌名$$$$" << "栖木网络" << true << "歌手$$歌名";
    QTest::newRow("mix placeholder: singer and $$") << "歌手$$$$" << "沐弦软件" << true << "歌手$$";
    QTest::newRow("search placeholder is sent") << "歌手$$$$" << "栖木网络" << true << "歌手$$栖木网络";
    QTest::newRow("one ASCII byte is refused") << "Z$$Zed" << "" << false << "Z$$Zed";
    QTest::newRow("one Chinese character is accepted") << "甲$$乙" << "" << true << "甲$$乙";
    QTest::newRow("empty singer") << "$$歌名" << "" << false << "$$歌名";
}

void CatalogueTest::songKeys()
{
    QFETCH(QString, name);
    QFETCH(QString, placeholder);
    QFETCH(bool, hasKey);
    QFETCH(QString, key);
    m_songs.fillSongList(QStringLiteral("<name>") + name + QStringLiteral("</name>"), 0, placeholder);
    SongResolver resolver(*m_catalogue, m_songs);
    QCOMPARE(resolver.buildSongKey(0).has_value(), hasKey);
    if (hasKey)
        QCOMPARE(*resolver.buildSongKey(0), key);
    // The automatic switch sends whatever row it lands on.
    QCOMPARE(resolver.songKeyOf(0), key);
    QVERIFY(!resolver.buildSongKey(1).has_value());
    QVERIFY(!resolver.buildSongKey(-1).has_value());
}

void CatalogueTest::resolutionReturnsItsOwnResult()
{
    m_songs.fillSongList(QStringLiteral("<name>歌手$$歌名</name><name>乙$$二</name>"), 0, QString());
    SongResolver resolver(*m_catalogue, m_songs);
    m_reply = gbk::encode(QStringLiteral("<encode>http://h/s/tok</encode><decode>a.mp3</decode><LRCID>987</lrcid>"));
    const std::optional<ResolvedSong> first = resolver.resolveRow(0);
    QVERIFY(first);
    QCOMPARE(m_server->targets(), QList<QByteArray>{"/x?op=12&count=1&mtype=2&title=%B8%E8%CA%D6$$%B8%E8%C3%FB$$$$"
                                                    "&listenreelect=0"});
    QCOMPARE(first->songKey, QStringLiteral("歌手$$歌名"));
    QCOMPARE(first->address.address, QStringLiteral("http://h/s/a.mp3"));
    QCOMPARE(first->lyricsId, QStringLiteral("987"));

    // A later request overwrites the shared record, not the earlier result.
    m_reply.clear();
    const std::optional<ResolvedSong> second = resolver.resolveRow(1);
    QVERIFY(second);
    QCOMPARE(second->address.address, QString());
    QCOMPARE(second->lyricsId, QString());
    QCOMPARE(first->address.address, QStringLiteral("http://h/s/a.mp3"));
    QCOMPARE(resolver.lastRequest().currentSongKey, QStringLiteral("乙$$二"));
    QCOMPARE(resolver.lastRequest().addressReply, QString());
}

void CatalogueTest::searchRefusesEmptyTextAndAnnouncesTheSearchText()
{
    FakeDialogs dialogs;
    SongSearch search(*m_catalogue, m_songs, dialogs);
    QSignalSpy text(&search, &SongSearch::searchTextChanged);

    search.runSearch(QString());
    QCOMPARE(dialogs.messages(), (QList<FakeDialogs::Message>{{QStringLiteral("错误"), QStringLiteral("搜索内容不能为空.")}}));
    QVERIFY(m_server->targets().isEmpty());

    m_reply = gbk::encode(QStringLiteral("<name>歌手$$歌名$$$$</name><name>乙$$A</name>"));
    search.chooseKeyword(QStringLiteral("A")); // one byte: shown, not searched
    QVERIFY(m_server->targets().isEmpty());
    search.chooseKeyword(QStringLiteral("流行"));
    QCOMPARE(m_server->targets(), QList<QByteArray>{"/x?op=7&mode=1&count=1&title=%C1%F7%D0%D0"});
    QCOMPARE(m_songs.rowCount(), 2);
    QCOMPARE(text.size(), 2);
    QCOMPARE(text.last().first().toString(), QStringLiteral("流行"));

    search.rowSelected(0);
    QCOMPARE(text.last().first().toString(), QStringLiteral("歌手 - 歌名"));
    search.rowSelected(1); // a one-byte title writes nothing
    search.rowSelected(-1);
    QCOMPARE(text.size(), 3);
}

void CatalogueTest::categoriesAreAnnounced()
{
    Charts charts(*m_catalogue, m_songs);
    QSignalSpy categories(&charts, &Charts::categoriesChanged);
    m_reply = gbk::encode(QStringLiteral("<cat><name>流行</name><data>1</data></cat><cat><name>摇滚</name><data>2</data></cat>"));
    charts.loadCategories();
    QCOMPARE(categories.last().first().toStringList(), (QStringList{QStringLiteral("流行"), QStringLiteral("摇滚")}));
    // A catalogue that does not answer leaves the box empty.
    m_server.reset();
    charts.loadCategories();
    QCOMPARE(categories.last().first().toStringList(), QStringList());
}

void CatalogueTest::oneActionCostsOneTimeOut()
{
    FixtureReply stall;
    stall.mode = FixtureReply::Mode::Stall;
    m_server->setHandler([stall](const QByteArray &) { return stall; });
    CurlHttpClient quick(std::chrono::milliseconds(300), std::chrono::milliseconds(400));
    Catalogue catalogue(quick, m_server->baseUrl());
    QSignalSpy failed(&catalogue, &Catalogue::requestFailed);
    QSignalSpy busy(&catalogue, &Catalogue::busyChanged);
    {
        const Catalogue::Action action(catalogue);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(catalogue.fetchCatalogueText("/x?op=3&list_cat=5"), QString());
    }
    QCOMPARE(m_server->targets().size(), 1);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(busy.size(), 2);
    // Each action starts afresh, and a request outside one is always sent.
    {
        const Catalogue::Action action(catalogue);
        catalogue.fetchCatalogueText("/a");
    }
    catalogue.fetchCatalogueText("/b");
    catalogue.fetchCatalogueText("/c");
    QCOMPARE(m_server->targets().size(), 4);

    // A refused connection ends the action as well; the reason names it.
    const QByteArray closed = m_server->baseUrl();
    m_server.reset();
    Catalogue gone(quick, closed);
    QSignalSpy goneFailed(&gone, &Catalogue::requestFailed);
    {
        const Catalogue::Action action(gone);
        gone.fetchCatalogueText("/x");
        gone.fetchCatalogueText("/y");
    }
    QCOMPARE(goneFailed.size(), 1);
    QVERIFY(goneFailed.first().first().toString().contains(QStringLiteral("无法连接")));
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
