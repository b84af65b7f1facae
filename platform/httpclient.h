#pragma once

#include <QByteArray>

// One blocking HTTP GET of a full address. The address is raw bytes: the
// variable parts of catalogue requests are GBK and are appended as typed.
// Any failure (no connection, time-out, error status, oversized body) gives
// an empty result; the caller is not told why.
//
// On the wire an implementation percent-encodes only the bytes that HTTP
// cannot carry raw (controls, space, bytes from 0x80, " < > \ ^ ` { | } #
// and a % not followed by two hex digits); everything else, "&" included,
// reaches the server as typed.
class HttpClient
{
public:
    virtual ~HttpClient() = default;
    virtual QByteArray get(const QByteArray &url) = 0;
};
