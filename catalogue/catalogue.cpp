#include "catalogue.h"

#include "gbk.h"
#include "httpclient.h"

Catalogue::Catalogue(HttpClient &http, QByteArray baseUrl)
    : m_http(http), m_baseUrl(std::move(baseUrl))
{
}

QString Catalogue::fetchCatalogueText(const QByteArray &path) const
{
    return gbk::decode(m_http.get(m_baseUrl + path));
}
