#include "transparentlabel.h"

#include "focusmark.h"

#include <QKeyEvent>
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

void TransparentLabel::setActsAsButton(bool button)
{
    m_button = button;
    setFocusPolicy(button ? Qt::TabFocus : Qt::NoFocus);
}

bool TransparentLabel::event(QEvent *event)
{
    if (m_button && event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            event->accept();
            return true;
        }
    }
    return QLabel::event(event);
}

void TransparentLabel::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (m_button && !event->isAutoRepeat() && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        press();
        return;
    }
    QLabel::keyPressEvent(event);
}

void TransparentLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (m_button)
        paintFocusMark(this);
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
