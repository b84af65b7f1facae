#pragma once

#include "platform/downloadrequest.h"

#include <QObject>
#include <QString>
#include <QTimer>

class Dialogs;
class Downloader;
class MediaPlayer;
class QItemSelectionModel;
class SongListModel;
class SongResolver;

// Saving a song to disk: the selected row (resolved like listening) or, with
// no row selected, whatever plays. It asks for the target in the save
// dialog, starts the one transfer of the downloader, shows its progress
// twice a second through 下载时钟 and announces the hint texts and the
// start/stop arrangement for the window.
class DownloadManager : public QObject
{
    Q_OBJECT
public:
    DownloadManager(Downloader &downloader, SongResolver &resolver, const SongListModel &songs,
                    QItemSelectionModel &selection, MediaPlayer &player, Dialogs &dialogs,
                    QObject *parent = nullptr);

    // The request handed to the downloader: one for the whole run.
    const DownloadRequest &downloadRequest() const { return m_request; }
    double downloadTotal() const { return m_downloadTotal; }
    const QTimer &downloadClock() const { return m_downloadClock; }
    bool isBusy() const { return m_busy; }

    // The file name offered for a song: the stem, ".", the address
    // extension, with the characters that cannot stand in a file name
    // replaced by "_".
    static QString proposedFileName(const QString &stem, const QString &address);
    // The first three characters after the last "." of the address (the
    // whole address when it has none).
    static QString addressExtension(const QString &address);
    // The hint text of one tick of 下载时钟.
    static QString progressText(double downloadTotal, qint64 receivedBytes, qint64 bytesPerSecond);

public slots:
    // What plays now, as the listening side names it (title - singer, or a
    // local file's base name).
    void setNowPlayingName(const QString &name) { m_nowPlayingName = name; }

    void startDownload();
    void stopDownload();
    void showDownloadProgress();
    // Ends a running transfer for good at exit: nothing partial is left.
    void releaseDownloader();

signals:
    void hintTextChanged(const QString &text); // 下载提示透明标签
    // True: 停止下载 and 停止下载(&D) stand where 开始下载 and 下载(&D) were.
    void busyChanged(bool busy);

private:
    void onDownloadEvent(int code, qint64 value, const QString &outcomeText);
    void setBusy(bool busy);

    Downloader &m_downloader;
    SongResolver &m_resolver;
    const SongListModel &m_songs;
    QItemSelectionModel &m_selection;
    MediaPlayer &m_player;
    Dialogs &m_dialogs;
    DownloadRequest m_request;
    QString m_nowPlayingName;
    QString m_downloadUrl;
    QString m_downloadName;
    double m_downloadTotal = 0;
    bool m_busy = false;
    QTimer m_downloadClock;
};
