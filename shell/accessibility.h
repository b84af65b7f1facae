#pragma once

// Tells assistive technologies what the skinned controls are: the image
// buttons and the labels that act as buttons are (toggle) buttons that can
// be pressed, the other labels are text named by what they show, the volume
// thumb is a slider with its value, and the main window is a frame named by
// its caption. Call once, before the window is built.
void installAccessibility();
