#include "streamingprogress.h"

#include <cmath>

QString streamingProgressText(int downloadProgress, int bandWidth)
{
    const double kilobytes = double(bandWidth) / 1024.0;
    const long long speed = static_cast<long long>(std::trunc(kilobytes / 10.0));
    return QStringLiteral("已下载 %1%,速度 %2KB/s").arg(downloadProgress).arg(speed);
}
