#include "imagebutton.h"

#include "focusmark.h"

#include <QKeyEvent>
#include <QPainter>

ImageButton::ImageButton(QWidget *parent) : QAbstractButton(parent)
{
    // Reached with Tab, not taken by a click: the focus mark shows only
    // for the keyboard.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

QSize ImageButton::sizeHint() const
{
    // In window units: a 2x picture is as large as its 1x one.
    return m_normal.isNull() ? QSize(16, 16) : m_normal.deviceIndependentSize().toSize();
}

QPixmap ImageButton::keyed(const QPixmap &picture) const
{
    if (!m_hasKey || picture.isNull())
        return picture;
    QPixmap out = picture;
    // MaskInColor: pixels of the key colour become transparent.
    out.setMask(picture.createMaskFromColor(QColor::fromRgb(m_key), Qt::MaskInColor));
    return out;
}

const QPixmap &ImageButton::currentPicture() const
{
    const bool pressed = isDown() && !m_pressed.isNull();
    if (pressed)
        return m_pressed;
    if (isChecked() && !m_checked.isNull())
        return m_checked;
    if (m_hovered && !m_hover.isNull())
        return m_hover;
    return m_normal;
}

void ImageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setClipRect(rect());
    painter.drawPixmap(0, 0, currentPicture());
    painter.end();
    paintFocusMark(this);
}

bool ImageButton::event(QEvent *event)
{
    // Space and Enter press the button that has the focus, before any
    // window-wide shortcut on those keys.
    if (event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            event->accept();
            return true;
        }
    }
    return QAbstractButton::event(event);
}

void ImageButton::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void ImageButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}
