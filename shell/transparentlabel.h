#pragma once

#include <QLabel>
#include <QPoint>

// Text drawn straight over whatever lies below, in one colour, reporting
// pointer presses and movement. A label that drags the window moves it with
// the pointer while the left button is held, as a title bar would.
class TransparentLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TransparentLabel(const QString &text, QWidget *parent = nullptr);

    void setTextColour(const QColor &colour);
    QColor textColour() const;

    void setDragsWindow(bool drags) { m_dragsWindow = drags; }

signals:
    void leftPressed();
    void rightPressed(const QPoint &globalPos);
    void pointerMoved();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_dragsWindow = false;
    bool m_manualDrag = false;
    QPoint m_grab;
};
