#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// The real catalogue server on a free loopback port, for as long as the
// object lives.
class CatalogueServerProcess
{
public:
    CatalogueServerProcess(const QString &program, const QString &library);
    ~CatalogueServerProcess();

    // "http://127.0.0.1:PORT", or empty when the server did not start.
    const QByteArray &baseUrl() const { return m_baseUrl; }

private:
    QProcess m_process;
    QByteArray m_baseUrl;
};
