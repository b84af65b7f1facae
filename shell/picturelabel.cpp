#include "picturelabel.h"

#include <QMouseEvent>
#include <QPainter>

PictureLabel::PictureLabel(const QPixmap &picture, QWidget *parent)
    : QWidget(parent), m_picture(picture)
{
}

void PictureLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setClipRect(rect());
    if (m_tiled)
        painter.drawTiledPixmap(rect(), m_picture);
    else
        painter.drawPixmap(0, 0, m_picture);
    if (!m_caption.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter, m_caption);
    }
}

void PictureLabel::mousePressEvent(QMouseEvent *event)
{
    // A press on a picture belongs to the picture, not to the skin below it.
    event->accept();
    if (event->button() == Qt::RightButton)
        emit rightPressed(event->globalPosition().toPoint());
}
