#pragma once

#include <QDialog>

struct MediaProperties;

// The small modal "文件属性" window: the name, type, size, duration and
// address of the media being played, as read when the window was asked for.
class FilePropertiesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FilePropertiesDialog(const MediaProperties &media, QWidget *parent = nullptr);
};
