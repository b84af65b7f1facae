#include "fakedownloader.h"

bool FakeDownloader::startTransfer(const DownloadRequest &request)
{
    m_calls << QStringLiteral("start %1 -> %2").arg(request.sourceUrl, request.targetPath);
    if (m_busy || m_released)
        return false;
    m_requests << request;
    m_busy = true;
    m_received = 0;
    m_rate = 0;
    return true;
}

void FakeDownloader::stopTransfer()
{
    m_calls << QStringLiteral("stop");
}

void FakeDownloader::releaseDownloader()
{
    m_calls << QStringLiteral("release");
    m_released = true;
    m_busy = false;
}

void FakeDownloader::setProgress(qint64 received, qint64 bytesPerSecond)
{
    m_received = received;
    m_rate = bytesPerSecond;
}

void FakeDownloader::reportSize(qint64 total)
{
    raise(SizeKnown, total, QString());
}

void FakeDownloader::finish(Outcome outcome)
{
    m_busy = false;
    raise(Ended, outcome, outcomeText(outcome));
}

void FakeDownloader::raise(int code, qint64 value, const QString &text)
{
    if (m_released)
        return;
    const DownloadRequest::EventHandler handler = lastRequest().eventHandler;
    if (handler)
        handler(code, value, text);
    emit downloadEvent(code, value, text);
}
