#pragma once

#include "platform/dialogs.h"

#include <QPointer>
#include <QString>
#include <QWidget>

// Converts a file-type filter written in the Windows style, pairs of
// description and patterns separated by "|" ("音乐文件(MP3,WMA,WAV,MID)|*.wav;*.mid;*.mp3;*.wma;"),
// into Qt's form ("音乐文件(MP3,WMA,WAV,MID) (*.wav *.mid *.mp3 *.wma)"), several
// pairs joined by ";;". A text without "|" is taken to be in Qt's form already
// and returned unchanged; a description without patterns gets "(*)".
QString qtFileFilter(const QString &windowsFilter);

// Dialogs on QMessageBox and QFileDialog (the desktop's native file dialog
// where there is one). All of them are modal and block until closed.
class QtDialogs : public Dialogs
{
public:
    // The window the dialogs are modal to (none: application-modal).
    void setParentWindow(QWidget *parent) { m_parent = parent; }

    void message(const QString &title, const QString &text, Icon icon) override;
    QString openFile(const QString &title, const QString &filter) override;
    QString saveFile(const QString &title, const QString &filter,
                     const QString &proposedName) override;

    // The folder the open dialog starts in: the user's music folder at
    // first, then the folder of the last file chosen in this run.
    QString openFolder() const;

private:
    QPointer<QWidget> m_parent;
    QString m_lastOpenFolder;
};
