#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class Dialogs;
class QItemSelectionModel;
class SongResolver;
class UrlOpener;

// The lyrics of the selected song: its lyrics id comes from the song address
// reply, and the address of its .lrc file on the catalogue goes to the
// desktop's web handler. Nothing is shown in the window itself.
class Lyrics : public QObject
{
    Q_OBJECT
public:
    Lyrics(SongResolver &resolver, QItemSelectionModel &selection, Dialogs &dialogs, UrlOpener &opener,
           QByteArray catalogueUrl, QObject *parent = nullptr);

    // The address of the lyrics file of an id: the catalogue, "/bdlrc/",
    // the folder, "/", the id, ".lrc".
    QString lyricsUrl(const QString &lyricsId) const;

public slots:
    void openLyrics();

private:
    SongResolver &m_resolver;
    QItemSelectionModel &m_selection;
    Dialogs &m_dialogs;
    UrlOpener &m_opener;
    QByteArray m_catalogueUrl;
};
