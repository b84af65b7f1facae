#pragma once

// Tells assistive technologies what the skinned controls are: the image
// buttons and the labels that act as buttons are (toggle) buttons that can
// be pressed; the other labels and the captioned pictures of the header
// strip are text named by what they show; the volume thumb is a slider with
// its value; the main window is a frame named by its caption; and the
// application lists its open popup menus beside its windows. Call before the QApplication is made (a screen reader that is
// already listening asks for the application at once), or at the latest
// before the window is built.
void installAccessibility();
