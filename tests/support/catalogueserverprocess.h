#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// The real catalogue server on a free loopback port, for as long as the
// object lives.
class CatalogueServerProcess
{
public:
    // extraArguments go before the library folder (e.g. time-outs).
    CatalogueServerProcess(const QString &program, const QString &library,
                           const QStringList &extraArguments = {});
    ~CatalogueServerProcess();

    // "http://127.0.0.1:PORT", or empty when the server did not start.
    const QByteArray &baseUrl() const { return m_baseUrl; }
    quint16 port() const { return m_port; }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_baseUrl;
    quint16 m_port = 0;
};
