#include "catalogue.h"

#include "gbk.h"
#include "httpclient.h"

Catalogue::Catalogue(HttpClient &http, QByteArray baseUrl, QObject *parent)
    : QObject(parent), m_http(http), m_baseUrl(std::move(baseUrl))
{
}

QString Catalogue::fetchCatalogueText(const QByteArray &path)
{
    return gbk::decode(fetchCatalogueBytes(path));
}

QByteArray Catalogue::fetchCatalogueBytes(const QByteArray &path)
{
    if (m_serverGone)
        return {};
    emit busyChanged(true);
    const HttpReply reply = m_http.fetch(m_baseUrl + path);
    emit busyChanged(false);
    if (!reply.ok()) {
        if (m_actionDepth > 0
            && (reply.failure == HttpReply::Failure::Refused || reply.failure == HttpReply::Failure::TimedOut))
            m_serverGone = true;
        emit requestFailed(reply.reason);
        return {};
    }
    emit requestSucceeded();
    return reply.body;
}

Catalogue::Action::Action(Catalogue &catalogue) : m_catalogue(catalogue)
{
    if (m_catalogue.m_actionDepth++ == 0)
        m_catalogue.m_serverGone = false;
}

Catalogue::Action::~Action()
{
    if (--m_catalogue.m_actionDepth == 0)
        m_catalogue.m_serverGone = false;
}
