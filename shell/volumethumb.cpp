#include "volumethumb.h"

#include <QAccessible>
#include <QKeyEvent>

VolumeThumb::VolumeThumb(QWidget *parent) : ImageButton(parent)
{
}

void VolumeThumb::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void VolumeThumb::setValue(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    QAccessibleValueChangeEvent event(this, value);
    QAccessible::updateAccessibility(&event);
}

void VolumeThumb::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        emit stepRequested(-1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        emit stepRequested(1);
        break;
    case Qt::Key_PageDown:
        emit stepRequested(-10);
        break;
    case Qt::Key_PageUp:
        emit stepRequested(10);
        break;
    case Qt::Key_Home:
        emit stepRequested(m_minimum - m_value);
        break;
    case Qt::Key_End:
        emit stepRequested(m_maximum - m_value);
        break;
    default:
        ImageButton::keyPressEvent(event);
        return;
    }
    event->accept();
}
