#pragma once

class QWidget;

// The keyboard focus mark of the skinned controls: a thin teal outline in
// the skin's accent colour, drawn over the control while it has the focus.
void paintFocusMark(QWidget *widget);
