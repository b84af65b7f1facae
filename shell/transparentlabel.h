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

    // A label that acts as a button (搜索, 刷新, 开始下载, 停止下载): it takes
    // the focus with Tab, Space and Enter press it as a click does, and it
    // shows as a button to assistive technologies.
    void setActsAsButton(bool button);
    bool actsAsButton() const { return m_button; }
    // What a click, a key or an assistive technology's press does.
    void press() { emit leftPressed(); }

signals:
    void leftPressed();
    void rightPressed(const QPoint &globalPos);
    void pointerMoved();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_dragsWindow = false;
    bool m_button = false;
    bool m_manualDrag = false;
    QPoint m_grab;
};
