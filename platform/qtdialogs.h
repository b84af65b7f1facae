#pragma once

#include "platform/dialogs.h"

#include <QString>

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
    void message(QWidget *parent, const QString &title, const QString &text, Icon icon) override;
    QString openFile(QWidget *parent, const QString &title, const QString &filter) override;
    QString saveFile(QWidget *parent, const QString &title, const QString &filter,
                     const QString &proposedName) override;
};
