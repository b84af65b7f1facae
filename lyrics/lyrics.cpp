#include "lyrics.h"

#include "dialogs.h"
#include "songresolver.h"
#include "urlopener.h"
#include "wire.h"

#include <QItemSelectionModel>

Lyrics::Lyrics(SongResolver &resolver, QItemSelectionModel &selection, Dialogs &dialogs, UrlOpener &opener,
               QByteArray catalogueUrl, QObject *parent)
    : QObject(parent), m_resolver(resolver), m_selection(selection), m_dialogs(dialogs), m_opener(opener),
      m_catalogueUrl(std::move(catalogueUrl))
{
}

QString Lyrics::lyricsUrl(const QString &lyricsId) const
{
    // The path is ASCII: the id's other bytes travel percent-encoded.
    return QString::fromLatin1(m_catalogueUrl + wire::lyricsPath(lyricsId));
}

void Lyrics::openLyrics()
{
    const QModelIndex current = m_selection.currentIndex();
    const std::optional<ResolvedSong> resolved = m_resolver.resolveRow(current.isValid() ? current.row() : -1);
    if (!resolved)
        return;
    const QString &id = resolved->lyricsId;
    if (id.isEmpty()) {
        m_dialogs.message(QStringLiteral("提示"), QStringLiteral("抱歉,该歌曲歌词未找到!"), Dialogs::Icon::None);
        return;
    }
    if (id == QLatin1String("0"))
        return;
    const QString url = lyricsUrl(id);
    // Only a web address reaches the desktop's handler.
    if (isWebAddress(url))
        m_opener.openUrl(url);
}
