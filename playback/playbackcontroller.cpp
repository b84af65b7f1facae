#include "playbackcontroller.h"

#include "dialogs.h"
#include "filepropertiesdialog.h"
#include "gbk.h"
#include "mediaplayer.h"
#include "playerstatetable.h"
#include "progresstexts.h"
#include "songaddress.h"
#include "songlistmodel.h"

#include <QAbstractButton>
#include <QAction>
#include <QDateTime>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTimer>
#include <QTreeView>

namespace {

void apply(QTimer *timer, StateReaction::Timer what, int interval)
{
    if (what == StateReaction::Timer::Start)
        timer->start(interval);
    else if (what == StateReaction::Timer::Off)
        timer->stop();
}

void apply(QAction *item, StateReaction::Item what)
{
    if (what != StateReaction::Item::Unchanged)
        item->setEnabled(what == StateReaction::Item::Enabled);
}

} // namespace

PlaybackController::PlaybackController(MediaPlayer &player, SongResolver &resolver, Dialogs &dialogs,
                                       const PlaybackControls &controls, QObject *parent)
    : QObject(parent), m_player(player), m_resolver(resolver), m_dialogs(dialogs), m_c(controls)
{
    connect(&m_player, &MediaPlayer::playStateChanged, this, &PlaybackController::onPlayStateChanged);
    connect(m_c.bufferingClock, &QTimer::timeout, this, &PlaybackController::showBuffering);
    connect(m_c.progressClock, &QTimer::timeout, this, &PlaybackController::showProgress);
    connect(m_c.streamingClock, &QTimer::timeout, this, &PlaybackController::showStreamingProgress);
    connect(m_c.switchTimer, &QTimer::timeout, this, &PlaybackController::switchToNextSong);
    for (QAction *item : {m_c.stereoItem, m_c.leftItem, m_c.rightItem})
        connect(item, &QAction::triggered, this, [this, item] { selectChannel(item); });
}

int PlaybackController::currentRow() const
{
    const QModelIndex current = m_c.songView->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void PlaybackController::selectRow(int row)
{
    const QModelIndex index = m_c.songs->index(row, 0);
    m_c.songView->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_c.songView->scrollTo(index);
}

void PlaybackController::playSelectedSong()
{
    const int row = currentRow();
    const QString key = m_resolver.buildSongKey(row);
    if (key.isEmpty())
        return;
    const QString address = m_resolver.songAddressFromReply(m_resolver.fetchSongReply(key));
    m_nowPlayingName = m_c.songs->cell(row, SongListModel::TitleColumn) + QStringLiteral(" - ")
        + m_c.songs->cell(row, SongListModel::SingerColumn);
    m_player.setUrl(address);
}

void PlaybackController::switchToNextSong()
{
    const int row = currentRow();
    if (gbk::byteLength(m_c.songs->cell(row, SongListModel::SingerColumn)) <= 1)
        return; // keeps ticking until a row is selected or a state stops it

    int next;
    if (m_c.randomItem->isChecked()) {
        const int count = m_c.songs->songCount();
        QRandomGenerator rng(quint32(QDateTime::currentMSecsSinceEpoch()));
        next = count > 0 ? int(rng.bounded(count)) : -1;
    } else {
        next = row + 1;
    }
    // Past the last row, or a draw from an empty or shrunken list: continuous
    // play ends here instead of resolving a row that does not exist.
    if (next < 0 || next >= m_c.songs->rowCount()) {
        m_c.switchTimer->stop();
        return;
    }
    selectRow(next);

    const QString key = m_resolver.songKeyOf(next);
    const QString address = m_resolver.songAddressFromReply(m_resolver.fetchSongReply(key));
    m_nowPlayingName = m_c.songs->cell(next, SongListModel::TitleColumn) + QStringLiteral(" - ")
        + m_c.songs->cell(next, SongListModel::SingerColumn);
    m_c.searchBox->setText(m_nowPlayingName);
    m_player.setUrl(address);
    m_c.switchTimer->stop();
}

void PlaybackController::onPlayStateChanged()
{
    const StateReaction r = stateReaction(m_player.playState());
    apply(m_c.bufferingClock, r.bufferingClock, 100);
    apply(m_c.progressClock, r.progressClock, 1000);
    apply(m_c.streamingClock, r.streamingClock, 500);
    m_c.playPauseButton->setChecked(r.pauseFace);
    if (r.status == StateReaction::Status::Text)
        m_c.statusLabel->setText(r.statusText);
    else if (r.status == StateReaction::Status::NowPlaying)
        m_c.statusLabel->setText(m_nowPlayingName);
    if (r.setReception)
        m_c.receptionLabel->setText(r.receptionText);
    if (m_c.continuousItem->isChecked())
        apply(m_c.switchTimer, r.switchTimer, 200);
    apply(m_c.stopItem, r.stopItem);
    apply(m_c.propertiesItem, r.propertiesItem);
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
    m_c.playPauseButton->setChecked(m_player.playState() == MediaPlayer::Playing);
}

void PlaybackController::stopPlayback()
{
    m_player.stop();
}

void PlaybackController::selectChannel(QAction *item)
{
    const int balance = item == m_c.leftItem ? 0 : item == m_c.rightItem ? 100 : 50;
    m_player.setBalance(balance);
    for (QAction *a : {m_c.stereoItem, m_c.leftItem, m_c.rightItem})
        a->setChecked(a == item);
}

void PlaybackController::openLocalFile()
{
    const QString path = m_dialogs.openFile(m_c.window, QStringLiteral("打开音乐文件"), Dialogs::kMusicFilter);
    if (path.isEmpty() || path == m_player.url())
        return;
    m_player.setUrl(path);
    m_nowPlayingName = localBaseName(path);
}

void PlaybackController::showFileProperties()
{
    auto *dialog = new FilePropertiesDialog(m_player, m_nowPlayingName, m_c.window);
    dialog->open();
}

void PlaybackController::showBuffering()
{
    m_c.statusLabel->setText(QStringLiteral("缓冲 %1%").arg(m_player.bufferingProgress()));
}

void PlaybackController::showProgress()
{
    const QString position = m_player.currentPositionString();
    m_c.progressLabel->setText((position.isEmpty() ? QStringLiteral("00:00") : position) + QLatin1Char('/')
                               + m_player.durationString());
}

void PlaybackController::showStreamingProgress()
{
    if (streamingComplete(m_player.downloadProgress(), m_player.bandWidth())) {
        m_c.streamingClock->stop();
        m_c.receptionLabel->setText(kStreamingCompleteText);
        return;
    }
    m_c.receptionLabel->setText(streamingProgressText(m_player.downloadProgress(), m_player.bandWidth()));
}
