#include "playbackcontroller.h"

#include "dialogs.h"
#include "gbk.h"
#include "mediaplayer.h"
#include "playerstatetable.h"
#include "songlistmodel.h"
#include "songresolver.h"
#include "streamingprogress.h"

#include <QDateTime>
#include <QItemSelectionModel>
#include <QRandomGenerator>

namespace {

constexpr int kBufferingInterval = 100;
constexpr int kProgressInterval = 1000;
constexpr int kStreamingInterval = 500;
constexpr int kSwitchInterval = 200;

void apply(QTimer &timer, StateReaction::Timer what, int interval)
{
    if (what == StateReaction::Timer::Start)
        timer.start(interval);
    else if (what == StateReaction::Timer::Off)
        timer.stop();
}

// The player is given only web addresses from the catalogue; anything else
// (a local path, file:, fd:) plays as nothing.
QString playable(const QString &address)
{
    return isWebAddress(address) ? address : QString();
}

} // namespace

QString localBaseName(const QString &path)
{
    const qsizetype separator = qMax(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    const QString name = path.mid(separator + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot);
}

PlaybackController::PlaybackController(MediaPlayer &player, SongResolver &resolver, const SongListModel &songs,
                                       QItemSelectionModel &selection, Dialogs &dialogs, QObject *parent)
    : QObject(parent), m_player(player), m_resolver(resolver), m_songs(songs), m_selection(selection),
      m_dialogs(dialogs), m_bufferingClock(this), m_progressClock(this), m_streamingClock(this), m_switchTimer(this)
{
    m_bufferingClock.setObjectName(QStringLiteral("缓冲时钟"));
    m_progressClock.setObjectName(QStringLiteral("实时时钟"));
    m_streamingClock.setObjectName(QStringLiteral("播放下载时钟"));
    m_switchTimer.setObjectName(QStringLiteral("MP3切换时钟"));
    connect(&m_player, &MediaPlayer::playStateChanged, this, &PlaybackController::onPlayStateChanged);
    connect(&m_bufferingClock, &QTimer::timeout, this, &PlaybackController::showBuffering);
    connect(&m_progressClock, &QTimer::timeout, this, &PlaybackController::showProgress);
    connect(&m_streamingClock, &QTimer::timeout, this, &PlaybackController::showStreamingProgress);
    connect(&m_switchTimer, &QTimer::timeout, this, &PlaybackController::switchToNextSong);
}

void PlaybackController::setPlayOptions(bool continuous, bool random)
{
    m_continuousPlay = continuous;
    m_randomPlay = random;
}

int PlaybackController::currentRow() const
{
    const QModelIndex current = m_selection.currentIndex();
    return current.isValid() ? current.row() : -1;
}

QString PlaybackController::nowPlayingNameOf(int row) const
{
    const ListedSong song = m_songs.song(row);
    return song.title + QStringLiteral(" - ") + song.singer;
}

void PlaybackController::setNowPlaying(const QString &name, const QString &title, const QString &artist)
{
    m_nowPlayingName = name;
    m_nowTitle = title;
    m_nowArtist = artist;
    emit nowPlayingNameChanged(name);
}

namespace {

// "mm:ss" (or "h:mm:ss") as microseconds; -1 for anything else.
qint64 microseconds(const QString &clock)
{
    const QStringList parts = clock.split(QLatin1Char(':'));
    if (clock.isEmpty() || parts.size() > 3)
        return -1;
    qint64 seconds = 0;
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0)
            return -1;
        seconds = seconds * 60 + value;
    }
    return seconds * 1000000;
}

} // namespace

qint64 PlaybackController::positionMicroseconds() const
{
    return microseconds(m_player.currentPositionString());
}

qint64 PlaybackController::durationMicroseconds() const
{
    return microseconds(m_player.durationString());
}

void PlaybackController::playSelectedSong()
{
    const int row = currentRow();
    const std::optional<ResolvedSong> resolved = m_resolver.resolveRow(row);
    if (!resolved)
        return;
    setNowPlaying(nowPlayingNameOf(row), m_songs.song(row).title, m_songs.song(row).singer);
    m_player.setUrl(playable(resolved->address.address));
}

void PlaybackController::switchToNextSong()
{
    const int row = currentRow();
    if (gbk::byteLength(m_songs.song(row).singer) <= 1)
        return; // keeps ticking until a row is selected or a state stops it

    int next;
    if (m_randomPlay) {
        const int count = m_songs.songCount();
        QRandomGenerator rng(quint32(QDateTime::currentMSecsSinceEpoch()));
        next = count > 0 ? int(rng.bounded(count)) : -1;
    } else {
        next = row + 1;
    }
    // Past the last row, or a draw from an empty or shrunken list: continuous
    // play ends here instead of resolving a row that does not exist.
    if (next < 0 || next >= m_songs.rowCount()) {
        m_switchTimer.stop();
        return;
    }
    m_selection.setCurrentIndex(m_songs.index(next, 0),
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    const ResolvedSong resolved = m_resolver.resolveKey(m_resolver.songKeyOf(next));
    setNowPlaying(nowPlayingNameOf(next), m_songs.song(next).title, m_songs.song(next).singer);
    emit searchTextChanged(m_nowPlayingName);
    m_player.setUrl(playable(resolved.address.address));
    m_switchTimer.stop();
}

void PlaybackController::onPlayStateChanged()
{
    const StateReaction r = stateReaction(m_player.playState());
    apply(m_bufferingClock, r.bufferingClock, kBufferingInterval);
    apply(m_progressClock, r.progressClock, kProgressInterval);
    apply(m_streamingClock, r.streamingClock, kStreamingInterval);
    emit pauseFaceChanged(r.pauseFace);
    if (r.status == StateReaction::Status::Text)
        emit statusTextChanged(r.statusText);
    else if (r.status == StateReaction::Status::NowPlaying)
        emit statusTextChanged(m_nowPlayingName);
    if (r.setReception)
        emit receptionTextChanged(r.receptionText);
    if (m_continuousPlay)
        apply(m_switchTimer, r.switchTimer, kSwitchInterval);
    if (r.stopItem != StateReaction::Item::Unchanged)
        emit stopEnabledChanged(r.stopItem == StateReaction::Item::Enabled);
    if (r.propertiesItem != StateReaction::Item::Unchanged)
        emit propertiesEnabledChanged(r.propertiesItem == StateReaction::Item::Enabled);
    const int state = m_player.playState();
    emit playerStateChanged(state);
    if (state == MediaPlayer::Playing)
        emit trackChanged(m_nowTitle, m_nowArtist, durationMicroseconds(), m_player.url());
}

void PlaybackController::togglePlayPause()
{
    if (m_player.playState() == MediaPlayer::Undefined)
        openLocalFile();
    if (m_player.playState() == MediaPlayer::Playing)
        m_player.pause();
    else
        m_player.play();
    // The button toggled itself on the click; its face follows the player.
    emit pauseFaceChanged(m_player.playState() == MediaPlayer::Playing);
}

void PlaybackController::play()
{
    if (m_player.playState() != MediaPlayer::Playing)
        togglePlayPause();
}

void PlaybackController::pause()
{
    if (m_player.playState() == MediaPlayer::Playing)
        togglePlayPause();
}

void PlaybackController::stopPlayback()
{
    m_player.stop();
}

void PlaybackController::selectChannel(Channel channel)
{
    m_player.setBalance(channel == Left ? 0 : channel == Right ? 100 : 50);
    emit channelChanged(channel);
}

void PlaybackController::openLocalFile()
{
    const QString path = m_dialogs.openFile(QStringLiteral("打开音乐文件"), Dialogs::kMusicFilter);
    if (path.isEmpty() || path == m_player.url())
        return;
    m_player.setUrl(path);
    setNowPlaying(localBaseName(path), localBaseName(path), QString());
}

MediaProperties PlaybackController::mediaProperties() const
{
    return {m_nowPlayingName, m_player.itemInfo(QStringLiteral("FileType")),
            m_player.itemInfo(QStringLiteral("FileSize")), m_player.durationString(),
            m_player.itemInfo(QStringLiteral("SourceURL"))};
}

void PlaybackController::showFileProperties()
{
    emit filePropertiesRequested(mediaProperties());
}

void PlaybackController::showBuffering()
{
    emit statusTextChanged(QStringLiteral("缓冲 %1%").arg(m_player.bufferingProgress()));
}

void PlaybackController::showProgress()
{
    const QString position = m_player.currentPositionString();
    emit progressTextChanged((position.isEmpty() ? QStringLiteral("00:00") : position) + QLatin1Char('/')
                             + m_player.durationString());
}

void PlaybackController::showStreamingProgress()
{
    if (streamingComplete(m_player.downloadProgress(), m_player.bandWidth())) {
        m_streamingClock.stop();
        emit receptionTextChanged(kStreamingCompleteText);
        return;
    }
    emit receptionTextChanged(streamingProgressText(m_player.downloadProgress(), m_player.bandWidth()));
}
