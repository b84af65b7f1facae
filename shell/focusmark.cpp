#include "focusmark.h"

#include <QPainter>
#include <QWidget>

void paintFocusMark(QWidget *widget)
{
    if (!widget->hasFocus())
        return;
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(74, 204, 218), 1.5));
    painter.drawRoundedRect(QRectF(widget->rect()).adjusted(0.75, 0.75, -0.75, -0.75), 3, 3);
}
