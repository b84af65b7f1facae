#pragma once

#include "platform/downloader.h"

#include <atomic>
#include <chrono>
#include <thread>

// The Downloader on libcurl, one worker thread per transfer.
//
// Network sources: http and https only (also for redirects, at most
// maxRedirects of them), HTTP/1.1, no proxy. Success needs a 2xx final status,
// the connection to end, and exactly the announced Content-Length to have
// arrived (when one was announced). Fewer bytes (the server closed early) or
// more bytes (the first byte past the announced length aborts the transfer, so
// the file never grows beyond it) fail. A transfer that receives no byte for
// stallTimeout fails.
//
// A source that is an absolute local path is copied on the worker with the
// same rules and events.
//
// The worker touches nothing of this object but atomics, and hands its events
// to the owning thread with queued calls.
class CurlDownloader : public Downloader
{
    Q_OBJECT
public:
    struct Options
    {
        // No byte for this long ends the transfer with Failed.
        std::chrono::milliseconds stallTimeout = std::chrono::seconds(30);
        int maxRedirects = 5;
        // Flush the finished file to the disk before it takes the target's
        // name, so that a crash right after never leaves a short file there.
        bool syncBeforeRename = true;
    };

    explicit CurlDownloader(QObject *parent = nullptr);
    explicit CurlDownloader(const Options &options, QObject *parent = nullptr);
    ~CurlDownloader() override;

    bool startTransfer(const DownloadRequest &request) override;
    void stopTransfer() override;
    qint64 receivedBytes() const override;
    qint64 bytesPerSecond() const override;
    void releaseDownloader() override;

    // What the worker shares with this object: atomics only.
    struct Shared
    {
        std::atomic<bool> stop{false};
        std::atomic<qint64> received{0};
        std::atomic<qint64> rate{0};
    };

private:
    void deliver(int code, qint64 value);
    void joinWorker();

    Options m_options;
    Shared m_shared;
    // The running transfer's multi handle (CURLM): made here before the worker
    // starts and cleaned up here after it ended, so that stopTransfer can wake
    // the worker's wait on it at any time.
    void *m_multi = nullptr;
    std::thread m_worker;
    DownloadRequest::EventHandler m_handler;
    bool m_busy = false;
    bool m_released = false;
};
