#include "catalogueserverprocess.h"

#include <QElapsedTimer>

CatalogueServerProcess::CatalogueServerProcess(const QString &program, const QString &library,
                                               const QStringList &extraArguments)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program, QStringList{QStringLiteral("--port"), QStringLiteral("0")} + extraArguments
                                 + QStringList{library});
    if (!m_process.waitForStarted(5000))
        return;
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine() && clock.elapsed() < 10000 && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(200);
    const QByteArray line = m_process.readLine().trimmed();
    const qsizetype at = line.indexOf("http://");
    if (!line.startsWith("listening on ") || at < 0)
        return;
    m_baseUrl = line.mid(at);
    m_port = quint16(m_baseUrl.mid(m_baseUrl.lastIndexOf(':') + 1).toUInt());
}

CatalogueServerProcess::~CatalogueServerProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(1000);
}
