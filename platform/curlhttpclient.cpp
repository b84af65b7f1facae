#include "curlhttpclient.h"

#include <curl/curl.h>

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

// libcurl wants one process-wide initialisation before the first handle; a
// function-local static makes it happen exactly once, from whichever thread
// gets there first. It is never undone: the process ends with it.
void ensureCurlInitialised()
{
    static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)init;
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

struct EasyDeleter
{
    void operator()(CURL *handle) const { curl_easy_cleanup(handle); }
};

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
    ensureCurlInitialised();
}

QByteArray CurlHttpClient::get(const QByteArray &url)
{
    const std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle)
        return {};
    CURL *curl = handle.get();

    const QByteArray wire = wireSafeUrl(url);
    Body body;

    bool ok = curl_easy_setopt(curl, CURLOPT_URL, wire.constData()) == CURLE_OK;
    // Keep the path exactly as typed: no folding of "/../" segments.
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(m_totalTimeout.count()));
    // An empty proxy name switches proxies off, environment variables included.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 3L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    // Refuses a body announced as too large before any of it arrives; bodies
    // without a length are cut off by appendBody.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBodyBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    if (!ok)
        return {};

    if (curl_easy_perform(curl) != CURLE_OK || body.tooLarge)
        return {};

    // CURLOPT_FAILONERROR is documented to let some error statuses through.
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400)
        return {};
    return body.bytes;
}
