#pragma once

#include <QDialog>

class MediaPlayer;

// The small modal "文件属性" window: the name, type, size, duration and
// address of the media being played, read when the window opens.
class FilePropertiesDialog : public QDialog
{
    Q_OBJECT
public:
    FilePropertiesDialog(const MediaPlayer &player, const QString &nowPlayingName, QWidget *parent = nullptr);
};
