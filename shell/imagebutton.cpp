#include "imagebutton.h"

#include <QPainter>

ImageButton::ImageButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
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
