#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

class QDBusConnection;

// The music box on the session bus as an MPRIS2 media player, so that media
// keys and the desktop's sound menu can reach it. It knows no window and no
// controller: what the desktop asks for comes out as intents (the signals),
// and what it shows is told to it through the slots.
class MprisService : public QObject
{
    Q_OBJECT
public:
    static inline const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.musicbox");
    static inline const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");

    explicit MprisService(QObject *parent = nullptr);

    // Registers the object and takes the well-known name; false when the
    // bus is not there or the name is taken.
    bool registerOn(QDBusConnection connection);

    // Where the position comes from, in microseconds (-1: not known).
    void setPositionSource(std::function<qint64()> source) { m_position = std::move(source); }

    QString playbackStatus() const { return m_status; }
    QVariantMap metadata() const { return m_metadata; }
    qint64 position() const;

public slots:
    // The player's published play state (0..12).
    void setPlayState(int state);
    // The song that plays: lengthUs < 0 when not known.
    void setTrack(const QString &title, const QString &artist, qint64 lengthUs, const QString &url);

signals:
    void raiseRequested();
    void quitRequested();
    void playPauseRequested();
    void playRequested();
    void pauseRequested();
    void stopRequested();
    void nextRequested();

private:
    friend class MprisRootAdaptor;
    friend class MprisPlayerAdaptor;
    void announce(const QString &interface, const QVariantMap &changed);

    QString m_status = QStringLiteral("Stopped");
    QVariantMap m_metadata;
    std::function<qint64()> m_position;
    int m_trackNumber = 0;
    QString m_connectionName;
    bool m_registered = false;
};
