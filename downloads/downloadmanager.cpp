#include "downloadmanager.h"

#include "dialogs.h"
#include "downloader.h"
#include "mediaplayer.h"
#include "songlistmodel.h"
#include "songresolver.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QStandardPaths>

#include <cmath>

namespace {

constexpr int kDownloadInterval = 500;

// Rounds halves up, as the progress texts do.
long long roundHalfUp(double value)
{
    return static_cast<long long>(std::floor(value + 0.5));
}

} // namespace

DownloadManager::DownloadManager(Downloader &downloader, SongResolver &resolver, const SongListModel &songs,
                                 QItemSelectionModel &selection, MediaPlayer &player, Dialogs &dialogs,
                                 QObject *parent)
    : QObject(parent), m_downloader(downloader), m_resolver(resolver), m_songs(songs), m_selection(selection),
      m_player(player), m_dialogs(dialogs), m_downloadClock(this)
{
    m_downloadClock.setObjectName(QStringLiteral("下载时钟"));
    connect(&m_downloadClock, &QTimer::timeout, this, &DownloadManager::showDownloadProgress);
    // The downloader raises its events on this thread; a connection (rather
    // than a bare callback in the request) ends with this object.
    connect(&m_downloader, &Downloader::downloadEvent, this, &DownloadManager::onDownloadEvent);
}

QString DownloadManager::addressExtension(const QString &address)
{
    const qsizetype dot = address.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? address : address.mid(dot + 1)).left(3);
}

QString DownloadManager::proposedFileName(const QString &stem, const QString &address)
{
    QString name = stem + QLatin1Char('.') + addressExtension(address);
    for (QChar &c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    return name;
}

QString DownloadManager::progressText(double downloadTotal, qint64 receivedBytes, qint64 bytesPerSecond)
{
    if (std::fabs(downloadTotal) <= 0.0000001)
        return QStringLiteral("正在连接中...");
    const long long percent = roundHalfUp(double(receivedBytes) / downloadTotal * 100.0);
    const long long speed = roundHalfUp(double(bytesPerSecond) / 1024.0);
    return QStringLiteral("速度%1K/s,已完成(%2%)").arg(speed).arg(percent);
}

void DownloadManager::startDownload()
{
    const QModelIndex current = m_selection.currentIndex();
    const int row = current.isValid() ? current.row() : -1;

    QString source;
    QString fileName;
    if (row < 0) {
        // Nothing selected: whatever plays.
        if (m_player.playState() != MediaPlayer::Playing) {
            emit hintTextChanged(QStringLiteral("请选择一个歌曲下载"));
            return;
        }
        source = m_player.url();
        fileName = proposedFileName(m_nowPlayingName, source);
    } else {
        const std::optional<ResolvedSong> resolved = m_resolver.resolveRow(row);
        if (!resolved)
            return;
        source = resolved->address.address;
        // An address the catalogue names is fetched only from the web.
        if (source.isEmpty() || !isWebAddress(source)) {
            m_dialogs.message(QStringLiteral("提示"), QStringLiteral("抱歉,该歌曲地址未找到!"), Dialogs::Icon::None);
            return;
        }
        m_downloadName = resolved->songKey;
        m_downloadName.replace(QStringLiteral("$$"), QStringLiteral(" - "));
        fileName = proposedFileName(m_downloadName, source);
    }

    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    const QString proposed = folder.isEmpty() ? fileName : QDir(folder).filePath(fileName);
    const QString target = m_dialogs.saveFile(QStringLiteral("把 ") + fileName + QStringLiteral(" 下载保存到我的电脑"),
                                              Dialogs::kMusicFilter, proposed);
    if (target.isEmpty()) {
        emit hintTextChanged(QStringLiteral("下载任务取消"));
        return;
    }

    // What plays is read again: it may have changed while the dialog was open.
    m_downloadUrl = (row < 0 ? m_player.url() : source).trimmed();
    m_request.setting1 = 4096;
    m_request.sourceUrl = m_downloadUrl;
    m_request.setting11 = 1000;
    m_request.setting6 = 10;
    m_request.targetPath = target;
    m_request.connectTimeoutMs = 5000;
    m_request.setting9 = 5001;
    m_request.setting10 = 10000;
    m_request.setting12 = 20480;
    // A new transfer's percentages never refer to the previous file.
    m_downloadTotal = 0;
    if (!m_downloader.startTransfer(m_request))
        return; // released at exit, or a transfer still ending
    m_downloadClock.start(kDownloadInterval);
    setBusy(true);
}

void DownloadManager::stopDownload()
{
    m_downloader.stopTransfer();
}

void DownloadManager::releaseDownloader()
{
    m_downloadClock.stop();
    m_downloader.releaseDownloader();
}

void DownloadManager::showDownloadProgress()
{
    emit hintTextChanged(progressText(m_downloadTotal, m_downloader.receivedBytes(), m_downloader.bytesPerSecond()));
}

void DownloadManager::onDownloadEvent(int code, qint64 value, const QString &outcomeText)
{
    if (code == Downloader::SizeKnown) {
        m_downloadTotal = double(value);
    } else if (code == Downloader::Ended) {
        setBusy(false);
        m_downloadClock.stop();
        emit hintTextChanged(outcomeText);
    }
}

void DownloadManager::setBusy(bool busy)
{
    m_busy = busy;
    emit busyChanged(busy);
}
