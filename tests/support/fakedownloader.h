#pragma once

#include "platform/downloader.h"

#include <QList>
#include <QStringList>

// A scripted downloader: records the requests and stops it is given and
// raises the events a test asks for, on the calling thread, as the real one
// delivers them on the UI thread. Like the real one it runs one transfer at a
// time: startTransfer refuses while a transfer has not ended.
class FakeDownloader : public Downloader
{
    Q_OBJECT
public:
    using Downloader::Downloader;

    bool startTransfer(const DownloadRequest &request) override;
    void stopTransfer() override;
    qint64 receivedBytes() const override { return m_received; }
    qint64 bytesPerSecond() const override { return m_busy ? m_rate : 0; }
    void releaseDownloader() override;

    // Test helpers.
    // Every call in order: "start <source> -> <target>", "stop", "release".
    QStringList calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    QList<DownloadRequest> requests() const { return m_requests; }
    DownloadRequest lastRequest() const { return m_requests.isEmpty() ? DownloadRequest{} : m_requests.last(); }
    bool isBusy() const { return m_busy; }
    bool isReleased() const { return m_released; }
    // The figures that receivedBytes and bytesPerSecond report.
    void setProgress(qint64 received, qint64 bytesPerSecond);
    // Raises SizeKnown with the total.
    void reportSize(qint64 total);
    // Raises Ended with the outcome and its text; the transfer is over.
    void finish(Outcome outcome);

private:
    void raise(int code, qint64 value, const QString &text);

    QStringList m_calls;
    QList<DownloadRequest> m_requests;
    qint64 m_received = 0;
    qint64 m_rate = 0;
    bool m_busy = false;
    bool m_released = false;
};
