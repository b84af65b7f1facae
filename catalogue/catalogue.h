#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class HttpClient;

// The one catalogue server: a fixed base address plus the request paths of
// the wire format. Requests block the calling thread; the HTTP client bounds
// them in time and size.
//
// A user action may send several requests (the start-up sends three, a
// refresh two). Inside an Action, once one of them fails because the server
// cannot be reached or does not answer in time, the rest are not sent: a
// dead server costs one time-out per action, not one per request.
class Catalogue : public QObject
{
    Q_OBJECT
public:
    Catalogue(HttpClient &http, QByteArray baseUrl, QObject *parent = nullptr);

    // GETs base address + path and returns the body as GBK text; empty text
    // on any failure.
    QString fetchCatalogueText(const QByteArray &path);
    // The same request, the reply's GBK bytes as they came; empty on any
    // failure. Lists are read from these without decoding the whole reply.
    QByteArray fetchCatalogueBytes(const QByteArray &path);

    const QByteArray &baseUrl() const { return m_baseUrl; }

    // The requests of one user action, for as long as it lives. Actions may
    // nest; the outermost one counts.
    class Action
    {
    public:
        explicit Action(Catalogue &catalogue);
        ~Action();
        Action(const Action &) = delete;
        Action &operator=(const Action &) = delete;

    private:
        Catalogue &m_catalogue;
    };

signals:
    // A request is about to block (true) or has ended (false).
    void busyChanged(bool busy);
    // A request failed: no connection, time-out, an error status, a reply
    // over the size limit. The reason is for people.
    void requestFailed(const QString &reason);
    // A request was answered.
    void requestSucceeded();

private:
    HttpClient &m_http;
    QByteArray m_baseUrl;
    int m_actionDepth = 0;
    bool m_serverGone = false; // within the current action
};
