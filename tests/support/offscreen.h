#pragma once

// The offscreen platform has no window masks, raising or keyboard grabs and
// says so for every window. Tests that check those as regions or states
// call this once to keep their output readable; other messages pass.
void silenceOffscreenWarnings();
