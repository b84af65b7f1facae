#include "catalogueserverprocess.h"

#include <QElapsedTimer>

CatalogueServerProcess::CatalogueServerProcess(const QString &program, const QString &library)
{
    m_process.start(program, {QStringLiteral("--port"), QStringLiteral("0"), library});
    if (!m_process.waitForStarted(5000))
        return;
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine() && clock.elapsed() < 10000 && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(200);
    const QByteArray line = m_process.readLine().trimmed();
    const qsizetype at = line.indexOf("http://");
    if (line.startsWith("listening on ") && at >= 0)
        m_baseUrl = line.mid(at);
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
