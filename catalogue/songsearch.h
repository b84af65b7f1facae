#pragma once

#include <QString>

class Catalogue;
class Dialogs;
class QLineEdit;
class QWidget;
class SongListModel;

// The search strip: searching by the text of the search box, choosing a
// category, and the search box text that a selected row writes.
class SongSearch
{
public:
    SongSearch(Catalogue &catalogue, SongListModel &songs, QLineEdit &searchBox, Dialogs &dialogs,
               QWidget *dialogParent);

    // Refills the song list with the matches of the search box text. An
    // empty text is refused with a message and changes nothing.
    void runSearch();

    // A category chosen in the keyword box: it becomes the search text and
    // is searched for when it is longer than one byte.
    void chooseKeyword(const QString &text);

    // A selected row writes "singer - title" into the search box, unless its
    // title is at most one byte long.
    void rowSelected(int row);

private:
    Catalogue &m_catalogue;
    SongListModel &m_songs;
    QLineEdit &m_searchBox;
    Dialogs &m_dialogs;
    QWidget *m_dialogParent;
};
