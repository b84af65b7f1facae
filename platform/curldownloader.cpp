#include "curldownloader.h"

#include "curlhttpclient.h" // wireSafeUrl

#include "curlapi.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// A worker's wait on the network lasts at most this long, so the stall limit
// and the rate are looked at this often even when nothing arrives.
constexpr auto pollInterval = 100ms;
// The rate covers the bytes of about this long.
constexpr auto rateWindow = 1s;
// Once exactly the announced length has arrived, a server that keeps the
// connection open is given this long to close it (or to betray itself by
// sending more) before the file counts as complete.
constexpr auto completionGrace = 1s;
constexpr qint64 copyChunk = 1024 * 1024;
// libcurl's receive buffer: its default of 16 KiB costs about a fifth of the
// throughput on a fast link, next to curl's own 100 KiB.
constexpr long receiveBuffer = 128 * 1024;

bool isNetworkAddress(const QString &url)
{
    return url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

bool isLocalPath(const QString &url)
{
    return !url.contains(QLatin1String("://")) && QDir::isAbsolutePath(url);
}

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(path.toStdU16String());
}

// The transfer rate over the last second or so, from samples of the byte
// count taken by the worker.
class RateMeter
{
public:
    qint64 update(Clock::time_point now, qint64 total)
    {
        if (m_samples.empty() || now - m_samples.back().first >= 20ms)
            m_samples.emplace_back(now, total);
        // Keep the newest sample that is at least a window old as the base.
        while (m_samples.size() >= 2 && now - m_samples[1].first >= rateWindow)
            m_samples.pop_front();
        const auto &[baseTime, baseBytes] = m_samples.front();
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - baseTime).count();
        if (elapsed <= 0)
            return 0;
        return (total - baseBytes) * 1000000 / elapsed;
    }

private:
    std::deque<std::pair<Clock::time_point, qint64>> m_samples;
};

// Everything one transfer needs on the worker; the worker owns it.
struct Job
{
    QString source;
    QString target;
    long connectTimeoutMs = 5000;
    CurlDownloader::Options options;
    CurlDownloader::Shared *shared = nullptr;
    CURLM *multi = nullptr;
    std::function<void(int code, qint64 value)> post; // queued to the owner's thread
};

// The file being written: "<target>.part" beside the target, renamed over the
// target only by commit(), removed otherwise.
class PartFile
{
public:
    explicit PartFile(const QString &target)
        : m_target(target)
        , m_file(target + QLatin1String(".part"))
    {
    }
    ~PartFile()
    {
        if (m_file.isOpen())
            m_file.close();
        if (!m_committed)
            QFile::remove(m_file.fileName());
    }
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    bool open()
    {
        // Unbuffered: a full disk shows at the write that meets it.
        return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    }

    bool write(const char *data, qint64 size) { return m_file.write(data, size) == size; }

    bool commit(bool sync)
    {
        if (!m_file.flush())
            return false;
#ifdef Q_OS_UNIX
        if (sync && ::fdatasync(m_file.handle()) != 0)
            return false;
#else
        (void)sync;
#endif
        m_file.close();
        if (m_file.error() != QFileDevice::NoError)
            return false;
        std::error_code error;
        std::filesystem::rename(fsPath(m_file.fileName()), fsPath(m_target), error);
        if (error)
            return false;
        m_committed = true;
        return true;
    }

private:
    QString m_target;
    QFile m_file;
    bool m_committed = false;
};

// One HTTP transfer's state, seen by libcurl's callbacks on the worker.
struct HttpState
{
    Job *job = nullptr;
    PartFile *part = nullptr;
    long status = 0;          // of the response being read
    qint64 announced = -1;    // its Content-Length; -1 when none (or chunked)
    bool chunked = false;
    bool sizeSent = false;
    bool failed = false;      // a callback refused: bad status, excess bytes, write error
    qint64 received = 0;
    Clock::time_point lastByte;
};

bool isSuccess(long status)
{
    return status >= 200 && status < 300;
}

// Only values made of decimal digits count; anything else is no length.
qint64 parseLength(QByteArrayView text)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 18)
        return -1;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

size_t onHeader(char *data, size_t size, size_t count, void *userData)
{
    auto *state = static_cast<HttpState *>(userData);
    const size_t n = size * count;
    state->lastByte = Clock::now();
    const QByteArrayView line(data, static_cast<qsizetype>(n));
    if (line.startsWith("HTTP/")) {
        // A new response (after a redirect or an interim 1xx) starts afresh.
        state->announced = -1;
        state->chunked = false;
        const QList<QByteArray> parts = line.toByteArray().simplified().split(' ');
        state->status = parts.size() >= 2 ? parts.at(1).toLong() : 0;
        return n;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return n;
    const QByteArray name = line.first(colon).toByteArray().trimmed().toLower();
    const QByteArrayView value = line.sliced(colon + 1);
    if (name == "content-length") {
        state->announced = state->chunked ? -1 : parseLength(value);
    } else if (name == "transfer-encoding" && value.toByteArray().toLower().contains("chunked")) {
        state->chunked = true;
        state->announced = -1;
    }
    return n;
}

size_t onBody(char *data, size_t size, size_t count, void *userData)
{
    auto *state = static_cast<HttpState *>(userData);
    const qint64 n = static_cast<qint64>(size * count);
    state->lastByte = Clock::now();
    if (state->job->shared->stop.load())
        return 0;
    if (state->status >= 300 && state->status < 400)
        return static_cast<size_t>(n); // the body of a redirect that is followed
    if (!isSuccess(state->status)) {
        state->failed = true;
        return 0;
    }
    if (!state->sizeSent) {
        state->sizeSent = true;
        if (state->announced >= 0)
            state->job->post(Downloader::SizeKnown, state->announced);
    }
    if (state->announced >= 0 && state->received + n > state->announced) {
        state->failed = true; // more than announced: the file is not what was promised
        return 0;
    }
    if (!state->part->write(data, n)) {
        state->failed = true;
        return 0;
    }
    state->received += n;
    state->job->shared->received.store(state->received, std::memory_order_relaxed);
    return static_cast<size_t>(n);
}

Downloader::Outcome runHttp(Job &job)
{
    PartFile part(job.target);
    if (!part.open())
        return Downloader::Failed;

    const CurlApi *lib = curlApi();
    const CurlEasy handle(lib->easy_init());
    if (!handle)
        return Downloader::Failed;
    CURL *curl = handle.get();

    HttpState state;
    state.job = &job;
    state.part = &part;
    state.lastByte = Clock::now();

    // The connection ends with the response, so its end tells whether more
    // bytes came than announced; libcurl is told to read to that end rather
    // than stop quietly at the announced length.
    const CurlList headers(lib->slist_append(nullptr, "Connection: close"));
    const QByteArray wire = wireSafeUrl(job.source.toUtf8());

    if (lib->easy_setopt(curl, CURLOPT_URL, wire.constData()) != CURLE_OK)
        return Downloader::Failed;
    lib->easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    lib->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    lib->easy_setopt(curl, CURLOPT_PROXY, "");
    lib->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    lib->easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    lib->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    lib->easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(job.options.maxRedirects));
    lib->easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    lib->easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    lib->easy_setopt(curl, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    lib->easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    lib->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, job.connectTimeoutMs);
    lib->easy_setopt(curl, CURLOPT_BUFFERSIZE, receiveBuffer);
    lib->easy_setopt(curl, CURLOPT_HEADERFUNCTION, &onHeader);
    lib->easy_setopt(curl, CURLOPT_HEADERDATA, &state);
    lib->easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onBody);
    lib->easy_setopt(curl, CURLOPT_WRITEDATA, &state);

    if (lib->multi_add_handle(job.multi, curl) != CURLM_OK)
        return Downloader::Failed;
    // Removes the handle from the multi handle on every way out.
    const std::unique_ptr<CURL, std::function<void(CURL *)>> added(
        curl, [&job, lib](CURL *h) { lib->multi_remove_handle(job.multi, h); });

    RateMeter rate;
    std::optional<CURLcode> result;
    std::optional<Clock::time_point> fullSince;
    bool complete = false;
    for (;;) {
        int running = 0;
        if (lib->multi_perform(job.multi, &running) != CURLM_OK)
            return Downloader::Failed;
        int queued = 0;
        while (CURLMsg *message = lib->multi_info_read(job.multi, &queued)) {
            if (message->msg == CURLMSG_DONE)
                result = message->data.result;
        }
        if (job.shared->stop.load())
            return Downloader::Stopped;
        if (state.failed)
            return Downloader::Failed;
        if (result || running == 0)
            break;

        const auto now = Clock::now();
        if (now - state.lastByte >= job.options.stallTimeout)
            return Downloader::Failed;
        if (state.announced >= 0 && state.received == state.announced && isSuccess(state.status)) {
            if (!fullSince)
                fullSince = now;
            else if (now - *fullSince >= std::min<Clock::duration>(completionGrace, job.options.stallTimeout)) {
                complete = true;
                break;
            }
        }
        job.shared->rate.store(rate.update(now, state.received), std::memory_order_relaxed);

        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min<Clock::duration>(pollInterval, job.options.stallTimeout));
        lib->multi_poll(job.multi, nullptr, 0, static_cast<int>(std::max<qint64>(wait.count(), 1)), nullptr);
    }

    if (!complete && (!result || *result != CURLE_OK))
        return Downloader::Failed;
    // libcurl reports the status of the last response it read.
    long status = 0;
    lib->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (!isSuccess(status) || !isSuccess(state.status))
        return Downloader::Failed;
    if (state.announced >= 0 && state.received != state.announced)
        return Downloader::Failed; // the connection ended early
    if (!state.sizeSent && state.announced >= 0)
        job.post(Downloader::SizeKnown, state.announced); // an empty file
    return part.commit(job.options.syncBeforeRename) ? Downloader::Finished : Downloader::Failed;
}

Downloader::Outcome runCopy(Job &job)
{
    QFile source(job.source);
    if (!source.open(QIODevice::ReadOnly))
        return Downloader::Failed;
    const qint64 total = source.size();
    PartFile part(job.target);
    if (!part.open())
        return Downloader::Failed;
    job.post(Downloader::SizeKnown, total);

    RateMeter rate;
    QByteArray buffer(copyChunk, Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        if (job.shared->stop.load())
            return Downloader::Stopped;
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0)
            return Downloader::Failed;
        if (n == 0)
            break;
        if (!part.write(buffer.constData(), n))
            return Downloader::Failed;
        copied += n;
        job.shared->received.store(copied, std::memory_order_relaxed);
        job.shared->rate.store(rate.update(Clock::now(), copied), std::memory_order_relaxed);
    }
    if (copied != total)
        return Downloader::Failed; // the file changed while it was copied
    return part.commit(job.options.syncBeforeRename) ? Downloader::Finished : Downloader::Failed;
}

Downloader::Outcome run(Job &job)
{
    if (job.target.isEmpty())
        return Downloader::Failed;
    if (isNetworkAddress(job.source))
        return runHttp(job);
    if (isLocalPath(job.source))
        return runCopy(job);
    return Downloader::Failed;
}

} // namespace

CurlDownloader::CurlDownloader(QObject *parent)
    : CurlDownloader(Options{}, parent)
{
}

CurlDownloader::CurlDownloader(const Options &options, QObject *parent)
    : Downloader(parent)
    , m_options(options)
{
}

CurlDownloader::~CurlDownloader()
{
    releaseDownloader();
}

bool CurlDownloader::startTransfer(const DownloadRequest &request)
{
    if (m_busy || m_released)
        return false;
    joinWorker(); // the last transfer's worker has delivered its end; let it go

    const CurlApi *lib = curlApi();
    if (!lib) {
        qWarning("%s", qPrintable(curlApiError()));
        return false;
    }
    m_multi = lib->multi_init();
    if (!m_multi)
        return false;

    m_busy = true;
    m_handler = request.eventHandler;
    m_shared.stop = false;
    m_shared.received = 0;
    m_shared.rate = 0;

    Job job;
    job.source = request.sourceUrl.trimmed();
    job.target = request.targetPath;
    job.connectTimeoutMs = request.connectTimeoutMs > 0 ? qMin(request.connectTimeoutMs, 120000) : 5000;
    job.options = m_options;
    job.shared = &m_shared;
    job.multi = static_cast<CURLM *>(m_multi);
    job.post = [this](int code, qint64 value) {
        QMetaObject::invokeMethod(this, [this, code, value] { deliver(code, value); }, Qt::QueuedConnection);
    };

    m_worker = std::thread([job = std::move(job)]() mutable {
        const Outcome outcome = run(job);
        job.shared->rate.store(0);
        job.post(Ended, outcome);
    });
    return true;
}

void CurlDownloader::stopTransfer()
{
    if (!m_busy)
        return;
    m_shared.stop = true;
    if (m_multi)
        curlApi()->multi_wakeup(static_cast<CURLM *>(m_multi));
}

qint64 CurlDownloader::receivedBytes() const
{
    return m_shared.received.load(std::memory_order_relaxed);
}

qint64 CurlDownloader::bytesPerSecond() const
{
    return m_busy ? m_shared.rate.load(std::memory_order_relaxed) : 0;
}

void CurlDownloader::releaseDownloader()
{
    m_released = true;
    stopTransfer();
    joinWorker();
    m_busy = false;
    m_handler = nullptr;
}

void CurlDownloader::joinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
    if (m_multi) {
        curlApi()->multi_cleanup(static_cast<CURLM *>(m_multi));
        m_multi = nullptr;
    }
}

void CurlDownloader::deliver(int code, qint64 value)
{
    if (m_released)
        return;
    QString text;
    if (code == Ended) {
        m_busy = false;
        text = outcomeText(static_cast<Outcome>(value));
    }
    // Copied: the handler may start the next transfer, which replaces m_handler.
    const DownloadRequest::EventHandler handler = m_handler;
    if (handler)
        handler(code, value, text);
    emit downloadEvent(code, value, text);
}
