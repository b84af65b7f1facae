#pragma once

#include <QByteArray>
#include <QString>

class HttpClient;

// The one catalogue server: a fixed base address plus the request paths of
// the wire format. Requests block the calling thread; the HTTP client bounds
// them in time and size.
class Catalogue
{
public:
    Catalogue(HttpClient &http, QByteArray baseUrl);

    // GETs base address + path and returns the body as GBK text; empty text
    // on any failure.
    QString fetchCatalogueText(const QByteArray &path) const;

    const QByteArray &baseUrl() const { return m_baseUrl; }

private:
    HttpClient &m_http;
    QByteArray m_baseUrl;
};
