// Drawing the maze with the mouse (the --edit option): a click cycles the
// cell under it while the explorer waits on its start cell, and the map file
// is written at once, so that it always holds what the screen shows.
#pragma once

#include <cstdint>

// Whether a failed write of the map file has been reported and no write has
// succeeded since: the user is told once, not at every click.
extern bool MapWriteFailureReported;

// A press of `button` (a PointerButton) at pixel (x, y) of the drawing area,
// from its top-left corner. In edit mode, while the explorer waits at start,
// the left button cycles the cell under the point forward and the right
// button backward, and the map file is written. When it cannot be written,
// the cell gets its code back and a warning tells why. Anything else (no
// edit mode, the explorer has moved, a point outside the maze, another
// button) does nothing.
void EditCellAtPoint(uint32_t button, int x, int y);
