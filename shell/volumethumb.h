#pragma once

#include "imagebutton.h"

// The volume thumb: an image button that is a slider for the keyboard and
// for assistive technologies. Its value is the thumb's step from the left
// stop; it asks to move (stepRequested) and is told where it is (setValue).
class VolumeThumb : public ImageButton
{
    Q_OBJECT
public:
    explicit VolumeThumb(QWidget *parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int value() const { return m_value; }

public slots:
    void setValue(int value);

signals:
    // Move by so many steps (negative: to the left).
    void stepRequested(int steps);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = 0;
};
