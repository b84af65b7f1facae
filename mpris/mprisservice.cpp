#include "mprisservice.h"

#include "mprisadaptors.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

MprisService::MprisService(QObject *parent) : QObject(parent)
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
}

bool MprisService::registerOn(QDBusConnection connection)
{
    if (!connection.isConnected())
        return false;
    if (!connection.registerObject(kObjectPath, this))
        return false;
    if (!connection.registerService(kServiceName)) {
        connection.unregisterObject(kObjectPath);
        return false;
    }
    m_connectionName = connection.name();
    m_registered = true;
    return true;
}

qint64 MprisService::position() const
{
    const qint64 us = m_position ? m_position() : -1;
    return us < 0 ? 0 : us;
}

void MprisService::setPlayState(int state)
{
    QString status;
    switch (state) {
    case 2: status = QStringLiteral("Paused"); break;
    // Opening, connecting and filling the buffer lead to playing.
    case 3:
    case 6:
    case 7:
    case 9:
    case 11: status = QStringLiteral("Playing"); break;
    default: status = QStringLiteral("Stopped"); break;
    }
    if (status == m_status)
        return;
    m_status = status;
    announce(QStringLiteral("org.mpris.MediaPlayer2.Player"), {{QStringLiteral("PlaybackStatus"), status}});
}

void MprisService::setTrack(const QString &title, const QString &artist, qint64 lengthUs, const QString &url)
{
    QVariantMap metadata;
    if (!title.isEmpty() || !url.isEmpty()) {
        if (m_metadata.value(QStringLiteral("xesam:url")).toString() != url
            || m_metadata.value(QStringLiteral("xesam:title")).toString() != title)
            ++m_trackNumber;
        metadata.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(QDBusObjectPath(
                            QStringLiteral("/io/github/muxian/musicbox/track/%1").arg(m_trackNumber))));
        metadata.insert(QStringLiteral("xesam:title"), title);
        if (!artist.isEmpty())
            metadata.insert(QStringLiteral("xesam:artist"), QStringList{artist});
        if (lengthUs >= 0)
            metadata.insert(QStringLiteral("mpris:length"), qlonglong(lengthUs));
        if (!url.isEmpty())
            metadata.insert(QStringLiteral("xesam:url"), url);
    }
    if (metadata == m_metadata)
        return;
    m_metadata = metadata;
    announce(QStringLiteral("org.mpris.MediaPlayer2.Player"), {{QStringLiteral("Metadata"), metadata}});
}

void MprisService::announce(const QString &interface, const QVariantMap &changed)
{
    if (!m_registered)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    QDBusConnection(m_connectionName).send(signal);
}

MprisRootAdaptor::MprisRootAdaptor(MprisService *service) : QDBusAbstractAdaptor(service), m_service(service)
{
}

QString MprisRootAdaptor::identity() const
{
    return QStringLiteral("沐弦音乐盒");
}

QString MprisRootAdaptor::desktopEntry() const
{
    return QStringLiteral("io.github.muxian.musicbox");
}

void MprisRootAdaptor::Raise()
{
    emit m_service->raiseRequested();
}

void MprisRootAdaptor::Quit()
{
    emit m_service->quitRequested();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService *service) : QDBusAbstractAdaptor(service), m_service(service)
{
}

QString MprisPlayerAdaptor::playbackStatus() const
{
    return m_service->playbackStatus();
}

QVariantMap MprisPlayerAdaptor::metadata() const
{
    return m_service->metadata();
}

qlonglong MprisPlayerAdaptor::position() const
{
    return m_service->position();
}

void MprisPlayerAdaptor::Next()
{
    emit m_service->nextRequested();
}

void MprisPlayerAdaptor::Pause()
{
    emit m_service->pauseRequested();
}

void MprisPlayerAdaptor::PlayPause()
{
    emit m_service->playPauseRequested();
}

void MprisPlayerAdaptor::Stop()
{
    emit m_service->stopRequested();
}

void MprisPlayerAdaptor::Play()
{
    emit m_service->playRequested();
}
