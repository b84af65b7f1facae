#pragma once

#include "platform/httpclient.h"

#include <QByteArray>

#include <chrono>

// Percent-encodes exactly the bytes that cannot travel raw in an HTTP request
// line: controls and space (0x00..0x20, 0x7F), every byte from 0x80 up, the
// characters " < > \ ^ ` { | } #, and a % that is not followed by two hex
// digits. Everything else is kept as typed, so "&" still separates query
// parameters and "$", "+" and an existing "%41" reach the server unchanged.
// Hex digits are written in upper case.
QByteArray wireSafeUrl(const QByteArray &url);

// HttpClient on libcurl: one blocking GET per call, bounded in time and size.
//
// The result is empty when the connection fails or takes longer than the
// connect time-out, when the whole request takes longer than the total
// time-out, when the server answers with a status of 400 or above, when the
// body is longer than maxBodyBytes (the transfer is abandoned as soon as the
// limit is passed) or when the body arrives truncated. The body is returned
// byte for byte otherwise, zero bytes included.
//
// No proxy is used, whatever the environment says; up to three redirects are
// followed, to http or https addresses only. Safe to use from any one thread
// at a time; the object holds no connection between calls.
class CurlHttpClient : public HttpClient
{
public:
    static constexpr qint64 maxBodyBytes = 16 * 1024 * 1024;

    explicit CurlHttpClient(std::chrono::milliseconds connectTimeout = std::chrono::seconds(5),
                            std::chrono::milliseconds totalTimeout = std::chrono::seconds(15));

    HttpReply fetch(const QByteArray &url) override;

private:
    std::chrono::milliseconds m_connectTimeout;
    std::chrono::milliseconds m_totalTimeout;
};
