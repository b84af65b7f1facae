#include "transparentlabel.h"

#include <QMouseEvent>
#include <QWindow>

TransparentLabel::TransparentLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TransparentLabel::setTextColour(const QColor &colour)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
}

QColor TransparentLabel::textColour() const
{
    return palette().color(QPalette::WindowText);
}

void TransparentLabel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton) {
        if (m_dragsWindow) {
            // Let the window manager move the window as if the press were on
            // a title bar; without one, follow the pointer ourselves.
            QWindow *handle = window()->windowHandle();
            m_manualDrag = !(handle && handle->startSystemMove());
            m_grab = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
        }
        emit leftPressed();
    } else if (event->button() == Qt::RightButton) {
        emit rightPressed(event->globalPosition().toPoint());
    }
}

void TransparentLabel::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (m_manualDrag && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - m_grab);
    emit pointerMoved();
}

void TransparentLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        m_manualDrag = false;
}
