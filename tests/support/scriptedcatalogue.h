#pragma once

// The catalogue side of a controller test, header-only because the test
// support library links no subsystem: a scripted catalogue on 127.0.0.1
// behind the real HTTP client (short time-outs), the song list with its
// selection, and the resolver over them.

#include "catalogue.h"
#include "curlhttpclient.h"
#include "fixtureserver.h"
#include "songlistmodel.h"
#include "songresolver.h"

#include <QItemSelectionModel>

struct ScriptedCatalogue
{
    explicit ScriptedCatalogue(FixtureServer::Handler handler) { server.setHandler(std::move(handler)); }

    void selectRow(int row)
    {
        selection.setCurrentIndex(row < 0 ? QModelIndex() : songs.index(row, 1),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    FixtureServer server;
    CurlHttpClient http{std::chrono::milliseconds(1000), std::chrono::milliseconds(2000)};
    Catalogue catalogue{http, server.baseUrl()};
    SongListModel songs;
    QItemSelectionModel selection{&songs};
    SongResolver resolver{catalogue, songs};
};

// Song address replies that name the key they were asked for, so a test sees
// which row was resolved: <encode>http://127.0.0.1/song/7/tok</encode>
// <decode>KEY.mp3</decode> (KEY as it came, percent-encoded).
inline FixtureReply echoSongAddress(const QByteArray &target)
{
    FixtureReply reply;
    if (target.startsWith("/x?op=12&")) {
        const QByteArray key = target.mid(target.indexOf("title=") + 6);
        reply.body = "<result><encode>http://127.0.0.1/song/7/tok</encode><decode>" + key.left(key.indexOf('&'))
            + ".mp3</decode></result>";
    }
    return reply;
}
