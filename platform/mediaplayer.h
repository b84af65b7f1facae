#pragma once

#include <QObject>
#include <QString>

// The audio player the window drives: write an address and it plays (the
// player starts on its own once an address is written), then follow its
// play state. It has no user interface; the window shows the state itself.
//
// Everything happens on the UI thread: calls are made there and
// playStateChanged is raised there, once for every change of playState().
// A handler reads playState() itself; within the handler it already holds
// the new value.
class MediaPlayer : public QObject
{
    Q_OBJECT
public:
    // The published play-state numbers. An implementation reports no
    // scanning (4, 5) and never Last (12); they are listed so the window's
    // table can name every row.
    enum PlayState {
        Undefined = 0,     // nothing loaded yet
        Stopped = 1,
        Paused = 2,
        Playing = 3,
        ScanForward = 4,
        ScanReverse = 5,
        Buffering = 6,     // filling the buffer; bufferingProgress() gives the percentage
        Waiting = 7,       // connecting to a network address
        MediaEnded = 8,    // the end of the media; Stopped follows at once
        Transitioning = 9, // an address was written and is being opened
        Ready = 10,        // nothing playable (empty address, or it could not be played)
        Reconnecting = 11,
        Last = 12,
    };
    Q_ENUM(PlayState)

    using QObject::QObject;
    ~MediaPlayer() override = default;

    // Loads a network address (scheme://...) or a local file path and starts
    // playing it. An empty text stops whatever played and leaves nothing
    // playable (Ready).
    virtual void setUrl(const QString &url) = 0;
    // The text last written, exactly as written.
    virtual QString url() const = 0;

    virtual int playState() const = 0;

    // Start or resume; pause; stop. Without anything loaded they change nothing.
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;

    // The position as "mm:ss"; empty while no position is known (stopped,
    // still opening).
    virtual QString currentPositionString() const = 0;

    // Channel balance on a 0..100 scale with the centre at 50: 50 plays both
    // channels, 0 the left one only, 100 the right one only. Values outside
    // are clamped. A new player starts at the centre.
    virtual void setBalance(int balance) = 0;

    // Fill level of the network buffer in percent (0..100).
    virtual int bufferingProgress() const = 0;
    // Received part of the current media in percent (0..100); a local file
    // counts as wholly received.
    virtual int downloadProgress() const = 0;
    // The stream's bit rate in bits per second while it is being received;
    // 0 while unknown and once the media has been received completely (a
    // local file included).
    virtual int bandWidth() const = 0;

    // The duration of the current media as "mm:ss"; empty while unknown.
    virtual QString durationString() const = 0;

    // Information about the current media: "FileType" (the address's
    // extension without the dot), "FileSize" (bytes as decimal text; "0" when
    // a network stream does not tell its length), "SourceURL" (the address as
    // written). Other names give an empty text.
    virtual QString itemInfo(const QString &name) const = 0;

signals:
    void playStateChanged(int state);
};
