#include "curlapi.h"

#include <dlfcn.h>

#include <mutex>
#include <system_error>

namespace {

// The OpenSSL build first, as Debian's libcurl4 is; the GnuTLS build has the
// same interface under another name.
constexpr const char *kLibraryNames[] = {"libcurl.so.4", "libcurl-gnutls.so.4"};

std::once_flag opened;
const CurlApi *api = nullptr;
QString failure;

template <typename Function>
bool resolve(void *library, const char *name, Function &slot)
{
    slot = reinterpret_cast<Function>(dlsym(library, name));
    if (!slot)
        failure = QStringLiteral("libcurl 缺少 %1").arg(QLatin1String(name));
    return slot != nullptr;
}

void open()
{
    void *library = nullptr;
    for (const char *name : kLibraryNames) {
        library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (library)
            break;
    }
    if (!library) {
        failure = QStringLiteral("无法载入 libcurl: %1").arg(QString::fromLocal8Bit(dlerror()));
        return;
    }
    static CurlApi functions;
    const bool complete = resolve(library, "curl_easy_init", functions.easy_init)
        && resolve(library, "curl_easy_setopt", functions.easy_setopt)
        && resolve(library, "curl_easy_perform", functions.easy_perform)
        && resolve(library, "curl_easy_getinfo", functions.easy_getinfo)
        && resolve(library, "curl_easy_cleanup", functions.easy_cleanup)
        && resolve(library, "curl_easy_strerror", functions.easy_strerror)
        && resolve(library, "curl_multi_init", functions.multi_init)
        && resolve(library, "curl_multi_add_handle", functions.multi_add_handle)
        && resolve(library, "curl_multi_remove_handle", functions.multi_remove_handle)
        && resolve(library, "curl_multi_perform", functions.multi_perform)
        && resolve(library, "curl_multi_info_read", functions.multi_info_read)
        && resolve(library, "curl_multi_poll", functions.multi_poll)
        && resolve(library, "curl_multi_wakeup", functions.multi_wakeup)
        && resolve(library, "curl_multi_cleanup", functions.multi_cleanup)
        && resolve(library, "curl_slist_append", functions.slist_append)
        && resolve(library, "curl_slist_free_all", functions.slist_free_all);
    if (!complete)
        return;
    // Once per process, before any handle, and never undone: the library
    // stays open until the process ends.
    using GlobalInit = decltype(&::curl_global_init);
    GlobalInit globalInit = nullptr;
    if (!resolve(library, "curl_global_init", globalInit))
        return;
    if (const CURLcode code = globalInit(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
        failure = QStringLiteral("libcurl 初始化失败 (%1)").arg(int(code));
        return;
    }
    api = &functions;
}

} // namespace

const CurlApi *curlApi()
{
    std::call_once(opened, open);
    return api;
}

QString curlApiError()
{
    std::call_once(opened, open);
    return failure;
}

CurlPreload::CurlPreload()
{
    try {
        m_thread = std::thread([] { curlApi(); });
    } catch (const std::system_error &) {
        // No thread to be had: libcurl opens with the first request.
    }
}

CurlPreload::~CurlPreload()
{
    if (m_thread.joinable())
        m_thread.join();
}
