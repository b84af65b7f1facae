#pragma once

#include <QObject>
#include <QString>

class Catalogue;
class Dialogs;
class SongListModel;

// The search strip: searching by the search box's text, choosing a
// category, and the search box text that a selected row writes.
class SongSearch : public QObject
{
    Q_OBJECT
public:
    SongSearch(Catalogue &catalogue, SongListModel &songs, Dialogs &dialogs, QObject *parent = nullptr);

public slots:
    // Refills the song list with the matches of the text. An empty text is
    // refused with a message and changes nothing.
    void runSearch(const QString &text);

    // A category chosen in the keyword box: it becomes the search text and
    // is searched for when it is longer than one byte.
    void chooseKeyword(const QString &text);

    // A selected row writes "singer - title" into the search box, unless its
    // title is at most one byte long.
    void rowSelected(int row);

signals:
    // The search box shows this text.
    void searchTextChanged(const QString &text);

private:
    Catalogue &m_catalogue;
    SongListModel &m_songs;
    Dialogs &m_dialogs;
};
