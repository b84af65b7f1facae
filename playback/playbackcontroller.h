#pragma once

#include <QObject>
#include <QString>

class Dialogs;
class MediaPlayer;
class QAbstractButton;
class QAction;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeView;
class QWidget;
class SongListModel;
class SongResolver;

// The window's controls that playback drives.
struct PlaybackControls
{
    QWidget *window = nullptr;
    QTreeView *songView = nullptr;
    SongListModel *songs = nullptr;
    QLineEdit *searchBox = nullptr;
    QLabel *statusLabel = nullptr;    // 缓冲标签
    QLabel *receptionLabel = nullptr; // 播放下载标签
    QLabel *progressLabel = nullptr;  // 进度透明标签
    QAbstractButton *playPauseButton = nullptr;
    QAction *stopItem = nullptr;
    QAction *propertiesItem = nullptr;
    QAction *stereoItem = nullptr;
    QAction *leftItem = nullptr;
    QAction *rightItem = nullptr;
    QAction *continuousItem = nullptr; // 开启连播: its tick is the option
    QAction *randomItem = nullptr;     // 随即播放
    QTimer *bufferingClock = nullptr;  // 缓冲时钟
    QTimer *progressClock = nullptr;   // 实时时钟
    QTimer *streamingClock = nullptr;  // 播放下载时钟
    QTimer *switchTimer = nullptr;     // MP3切换时钟
};

// Listening to a row, the automatic switch to the next song, the player's
// state shown in the window, play/pause, stop, the channel choice, local
// files and the properties window.
class PlaybackController : public QObject
{
    Q_OBJECT
public:
    PlaybackController(MediaPlayer &player, SongResolver &resolver, Dialogs &dialogs,
                       const PlaybackControls &controls, QObject *parent = nullptr);

    const QString &nowPlayingName() const { return m_nowPlayingName; }

public slots:
    void playSelectedSong();
    void switchToNextSong();
    void onPlayStateChanged();
    void togglePlayPause();
    void stopPlayback();
    void selectChannel(QAction *item);
    void openLocalFile();
    void showFileProperties();
    void showBuffering();
    void showProgress();
    void showStreamingProgress();

private:
    int currentRow() const;
    void selectRow(int row);

    MediaPlayer &m_player;
    SongResolver &m_resolver;
    Dialogs &m_dialogs;
    PlaybackControls m_c;
    QString m_nowPlayingName;
};
