#pragma once

#include <QByteArray>
#include <QString>

// The outcome of one GET: the body, or why there is none.
struct HttpReply
{
    enum class Failure {
        None,
        Refused,    // no connection could be made (refused, unknown host)
        TimedOut,   // the connection or the whole request took too long
        HttpStatus, // the server answered with a status of 400 or above
        TooLarge,   // the body was larger than the client accepts
        Broken,     // anything else: a dropped connection, a truncated body
    };

    QByteArray body;
    Failure failure = Failure::None;
    QString reason; // for people: what went wrong, with the address

    bool ok() const { return failure == Failure::None; }
};

// One blocking HTTP GET of a full address. The address is raw bytes: the
// variable parts of catalogue requests are GBK and are appended as typed.
// Any failure (no connection, time-out, error status, oversized body) gives
// no body; the reply says why.
//
// On the wire an implementation percent-encodes only the bytes that HTTP
// cannot carry raw (controls, space, bytes from 0x80, " < > \ ^ ` { | } #
// and a % not followed by two hex digits); everything else, "&" included,
// reaches the server as typed.
class HttpClient
{
public:
    virtual ~HttpClient() = default;
    virtual HttpReply fetch(const QByteArray &url) = 0;

    // The body, or empty on any failure.
    QByteArray get(const QByteArray &url) { return fetch(url).body; }
};
