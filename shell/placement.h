#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where a window of `size` opens: at `usual` when it fits there inside
// `available` (the screen's free area), otherwise moved just far enough to fit;
// along a direction in which it cannot fit at all, it starts at the area's
// top or left edge so its title and its left end stay reachable.
inline QPoint startPosition(const QRect &available, const QSize &size, const QPoint &usual)
{
    auto along = [](int wanted, int first, int room, int length) {
        if (length >= room)
            return first;
        if (wanted < first)
            return first;
        if (wanted + length > first + room)
            return first + room - length;
        return wanted;
    };
    return {along(usual.x(), available.left(), available.width(), size.width()),
            along(usual.y(), available.top(), available.height(), size.height())};
}
