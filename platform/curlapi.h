#pragma once

#include <curl/curl.h>

#include <QString>

#include <memory>
#include <thread>

// The libcurl functions the adapters use, from a libcurl opened at run time
// instead of linked. Linked, libcurl and what it links in turn (TLS, HTTP/2,
// SSH, LDAP, Kerberos: some forty libraries) are loaded and relocated before
// main, which here is 12-15 ms of every start; opened on a thread of its own
// while the window goes on the screen (CurlPreload), most of that is hidden.
struct CurlApi
{
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_perform) easy_perform;
    decltype(&::curl_easy_getinfo) easy_getinfo;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_easy_strerror) easy_strerror;
    decltype(&::curl_multi_init) multi_init;
    decltype(&::curl_multi_add_handle) multi_add_handle;
    decltype(&::curl_multi_remove_handle) multi_remove_handle;
    decltype(&::curl_multi_perform) multi_perform;
    decltype(&::curl_multi_info_read) multi_info_read;
    decltype(&::curl_multi_poll) multi_poll;
    decltype(&::curl_multi_wakeup) multi_wakeup;
    decltype(&::curl_multi_cleanup) multi_cleanup;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;
};

// libcurl, opened and given its one process-wide initialisation the first
// time it is asked for, from whichever thread asks first; a caller that
// comes while another thread opens it waits for that. nullptr when it cannot
// be opened (curlApiError() says why); it is not tried again.
const CurlApi *curlApi();
QString curlApiError();

// Handles that clean themselves up; made only once curlApi() has answered.
struct CurlEasyDeleter
{
    void operator()(CURL *handle) const { curlApi()->easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
struct CurlListDeleter
{
    void operator()(curl_slist *list) const { curlApi()->slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// Opens libcurl on a thread of its own from its construction; the destructor
// waits for that thread. Made in main just before the window is shown, so
// that the first request finds libcurl ready.
class CurlPreload
{
public:
    CurlPreload();
    ~CurlPreload();
    CurlPreload(const CurlPreload &) = delete;
    CurlPreload &operator=(const CurlPreload &) = delete;

private:
    std::thread m_thread;
};
