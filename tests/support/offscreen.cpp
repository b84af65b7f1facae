#include "offscreen.h"

#include <QString>
#include <QtGlobal>

namespace {
QtMessageHandler previousHandler = nullptr;

void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

void silenceOffscreenWarnings()
{
    if (!previousHandler)
        previousHandler = qInstallMessageHandler(filter);
}
