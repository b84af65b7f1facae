#pragma once

#include <QString>

// The bottom label's text while the player receives a stream: the received
// percentage and the stream's speed (bandwidth / 1024 / 10, truncated).
QString streamingProgressText(int downloadProgress, int bandWidth);

// Reception is complete once everything has arrived and no more flows.
inline bool streamingComplete(int downloadProgress, int bandWidth)
{
    return downloadProgress == 100 && bandWidth == 0;
}

inline const QString kStreamingCompleteText = QStringLiteral("接收缓存已完成");
