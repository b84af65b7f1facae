#include "curlhttpclient.h"

#include "curlapi.h"

#include <memory>

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool mustEncode(const QByteArray &url, qsizetype i)
{
    const auto c = static_cast<unsigned char>(url.at(i));
    if (c <= 0x20 || c >= 0x7F)
        return true;
    switch (c) {
    case '"': case '<': case '>': case '\\': case '^': case '`':
    case '{': case '|': case '}': case '#':
        return true;
    case '%':
        return !(i + 2 < url.size() && isHexDigit(url.at(i + 1)) && isHexDigit(url.at(i + 2)));
    default:
        return false;
    }
}

struct Body
{
    QByteArray bytes;
    bool tooLarge = false;
};

size_t appendBody(char *data, size_t size, size_t count, void *userData)
{
    auto *body = static_cast<Body *>(userData);
    const size_t n = size * count;
    if (static_cast<qint64>(body->bytes.size()) + static_cast<qint64>(n) > CurlHttpClient::maxBodyBytes) {
        body->tooLarge = true;
        return 0; // anything other than n makes libcurl abort the transfer
    }
    body->bytes.append(data, static_cast<qsizetype>(n));
    return n;
}

} // namespace

QByteArray wireSafeUrl(const QByteArray &url)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(url.size());
    for (qsizetype i = 0; i < url.size(); ++i) {
        if (mustEncode(url, i)) {
            const auto c = static_cast<unsigned char>(url.at(i));
            out.append('%');
            out.append(hex[c >> 4]);
            out.append(hex[c & 0x0F]);
        } else {
            out.append(url.at(i));
        }
    }
    return out;
}

CurlHttpClient::CurlHttpClient(std::chrono::milliseconds connectTimeout,
                               std::chrono::milliseconds totalTimeout)
    : m_connectTimeout(connectTimeout)
    , m_totalTimeout(totalTimeout)
{
}

HttpReply CurlHttpClient::fetch(const QByteArray &url)
{
    HttpReply reply;
    auto fail = [&reply, &url](HttpReply::Failure failure, const QString &why) {
        reply.body.clear();
        reply.failure = failure;
        reply.reason = why + QStringLiteral(" (") + QString::fromLatin1(wireSafeUrl(url)) + QLatin1Char(')');
        return reply;
    };
    const CurlApi *lib = curlApi();
    if (!lib)
        return fail(HttpReply::Failure::Broken, curlApiError());
    const CurlEasy handle(lib->easy_init());
    if (!handle)
        return fail(HttpReply::Failure::Broken, QStringLiteral("libcurl could not start a request"));
    CURL *curl = handle.get();

    const QByteArray wire = wireSafeUrl(url);
    Body body;

    bool ok = lib->easy_setopt(curl, CURLOPT_URL, wire.constData()) == CURLE_OK;
    // Keep the path exactly as typed: no folding of "/../" segments.
    lib->easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    lib->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    lib->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_connectTimeout.count()));
    lib->easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(m_totalTimeout.count()));
    // An empty proxy name switches proxies off, environment variables included.
    lib->easy_setopt(curl, CURLOPT_PROXY, "");
#if LIBCURL_VERSION_NUM >= 0x075500
    lib->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    lib->easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    lib->easy_setopt(curl, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    lib->easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    lib->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    lib->easy_setopt(curl, CURLOPT_MAXREDIRS, 3L);
    lib->easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    // Refuses a body announced as too large before any of it arrives; bodies
    // without a length are cut off by appendBody.
    lib->easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBodyBytes));
    lib->easy_setopt(curl, CURLOPT_WRITEFUNCTION, &appendBody);
    lib->easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    if (!ok)
        return fail(HttpReply::Failure::Broken, QStringLiteral("地址无效"));

    const CURLcode result = lib->easy_perform(curl);
    long status = 0;
    lib->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (body.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        return fail(HttpReply::Failure::TooLarge, QStringLiteral("回复超过 %1 MiB").arg(maxBodyBytes >> 20));
    switch (result) {
    case CURLE_OK:
        break;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
        return fail(HttpReply::Failure::Refused, QStringLiteral("无法连接服务器"));
    case CURLE_OPERATION_TIMEDOUT:
        return fail(HttpReply::Failure::TimedOut, QStringLiteral("服务器没有及时回答"));
    case CURLE_HTTP_RETURNED_ERROR:
        return fail(HttpReply::Failure::HttpStatus, QStringLiteral("服务器回答 HTTP %1").arg(status));
    default:
        return fail(HttpReply::Failure::Broken,
                    QStringLiteral("传输中断: %1").arg(QString::fromUtf8(lib->easy_strerror(result))));
    }
    // CURLOPT_FAILONERROR is documented to let some error statuses through.
    if (status >= 400)
        return fail(HttpReply::Failure::HttpStatus, QStringLiteral("服务器回答 HTTP %1").arg(status));
    reply.body = std::move(body.bytes);
    return reply;
}
