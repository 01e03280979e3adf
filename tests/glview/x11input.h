#pragma once

// Input handed to a window the way the X server hands over a user's: through
// a connection of its own, queued, and to that window whatever others the
// display shows over it. False without an X display.
bool SendShiftKeyToX11Window(unsigned long windowId);
