#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class Dialogs;
class MediaPlayer;
class QItemSelectionModel;
class SongListModel;
class SongResolver;

// What the properties window shows of the media being played, read at the
// moment it is asked for.
struct MediaProperties
{
    QString nowPlayingName;
    QString fileType;
    QString fileSize;
    QString duration;
    QString sourceUrl;
};

// Listening to a row, the automatic switch to the next song, the player's
// state, play/pause, stop, the channel choice, local files and the
// properties of what plays. It owns the four playback timers and announces
// everything the window shows through its signals; the window calls its
// slots for the user's intents.
class PlaybackController : public QObject
{
    Q_OBJECT
public:
    enum Channel { Stereo, Left, Right };
    Q_ENUM(Channel)

    // The selection model is the song list's: its current row is the
    // selected row, and the automatic switch moves it.
    PlaybackController(MediaPlayer &player, SongResolver &resolver, const SongListModel &songs,
                       QItemSelectionModel &selection, Dialogs &dialogs, QObject *parent = nullptr);

    const QString &nowPlayingName() const { return m_nowPlayingName; }
    // Where the song is, in microseconds; -1 while not known.
    qint64 positionMicroseconds() const;
    qint64 durationMicroseconds() const;
    MediaProperties mediaProperties() const;

    // The timers, for the window's tests and tools: 缓冲时钟, 实时时钟,
    // 播放下载时钟 and MP3切换时钟 (also found by these object names).
    const QTimer &bufferingClock() const { return m_bufferingClock; }
    const QTimer &progressClock() const { return m_progressClock; }
    const QTimer &streamingClock() const { return m_streamingClock; }
    const QTimer &switchTimer() const { return m_switchTimer; }

public slots:
    // The two play options as they stand now (continuous play, random play).
    void setPlayOptions(bool continuous, bool random);

    void playSelectedSong();
    void switchToNextSong();
    void togglePlayPause();
    // Play or pause only (media keys): nothing when already so.
    void play();
    void pause();
    void stopPlayback();
    void selectChannel(PlaybackController::Channel channel);
    void openLocalFile();
    void showFileProperties();

    void onPlayStateChanged();
    void showBuffering();
    void showProgress();
    void showStreamingProgress();

signals:
    void statusTextChanged(const QString &text);    // 缓冲标签
    void receptionTextChanged(const QString &text); // 播放下载标签
    void progressTextChanged(const QString &text);  // 进度透明标签
    void searchTextChanged(const QString &text);    // 搜索框
    void nowPlayingNameChanged(const QString &name); // what plays, for downloads
    void pauseFaceChanged(bool pause);              // the play/pause button shows pause
    void stopEnabledChanged(bool enabled);          // 停止(&S)
    void propertiesEnabledChanged(bool enabled);    // 属性(&R)
    void channelChanged(PlaybackController::Channel channel);
    void filePropertiesRequested(const MediaProperties &properties);
    // The player's published state, as it reports it.
    void playerStateChanged(int state);
    // What plays, once it plays: its title and singer (a local file: its
    // name, no singer), its length in microseconds (-1: not known), its address.
    void trackChanged(const QString &title, const QString &artist, qint64 lengthUs, const QString &url);

private:
    int currentRow() const;
    QString nowPlayingNameOf(int row) const;
    void setNowPlaying(const QString &name, const QString &title, const QString &artist);

    MediaPlayer &m_player;
    SongResolver &m_resolver;
    const SongListModel &m_songs;
    QItemSelectionModel &m_selection;
    Dialogs &m_dialogs;
    QString m_nowPlayingName;
    QString m_nowTitle;
    QString m_nowArtist;
    bool m_continuousPlay = false;
    bool m_randomPlay = false;

    QTimer m_bufferingClock;
    QTimer m_progressClock;
    QTimer m_streamingClock;
    QTimer m_switchTimer;
};

// The text after the last path separator ("\" or "/"), up to its last ".";
// empty when the name has no ".".
QString localBaseName(const QString &path);
