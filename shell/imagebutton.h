#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A button drawn only with pictures: one per state (normal, pointer over,
// pressed, and checked for two-state buttons). Each picture is drawn from
// the top-left corner and clipped to the button; a picture with a device
// pixel ratio (a 2x picture) is drawn at its size in window units. Pixels of
// the key colour, when one is set, are left out of the pictures.
class ImageButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ImageButton(QWidget *parent = nullptr);

    void setNormalPicture(const QPixmap &picture) { m_normal = keyed(picture); update(); }
    void setHoverPicture(const QPixmap &picture) { m_hover = keyed(picture); update(); }
    void setPressedPicture(const QPixmap &picture) { m_pressed = keyed(picture); update(); }
    void setCheckedPicture(const QPixmap &picture) { m_checked = keyed(picture); update(); }
    // Set before the pictures: later pictures are keyed with it.
    void setKeyColour(QRgb colour) { m_key = colour; m_hasKey = true; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPixmap keyed(const QPixmap &picture) const;
    const QPixmap &currentPicture() const;

    QPixmap m_normal, m_hover, m_pressed, m_checked;
    QRgb m_key = 0;
    bool m_hasKey = false;
    bool m_hovered = false;
};
