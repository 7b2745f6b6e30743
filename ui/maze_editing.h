// Drawing the maze with the mouse (the --edit option): a click cycles the
// cell under it while the explorer waits on its start cell, a drag paints
// the cells it enters with the code the pressed cell took, and the map file
// is written at every change, so that it always holds what the screen shows.
#pragma once

#include <cstdint>

// Whether a failed write of the map file has been reported and no write has
// succeeded since: the user is told once, not at every click.
extern bool MapWriteFailureReported;

// A press of `button` (a PointerButton) at pixel (x, y) of the drawing area,
// from its top-left corner. In edit mode, while the explorer waits at start,
// the left button cycles the cell under the point forward and the right
// button backward, and the map file is written; the press starts a drag
// that paints with the code the cell took. When the file cannot be written,
// the cell gets its code back and a warning tells why. Anything else (no
// edit mode, the explorer has moved, a point outside the maze, another
// button) does nothing.
void EditCellAtPoint(uint32_t button, int x, int y);

// The pointer moved to (x, y) with `buttons` (PointerButton bits) held.
// During a drag whose button is still held, a cell that the pointer enters
// gets the drag's code unless it holds it already, and the file is written;
// a failed write gives the cell its code back and warns as a click does.
// Points outside the maze paint nothing but keep the drag going. A move
// without the drag's button ends the drag (its release was missed).
void PaintCellAtPoint(uint32_t buttons, int x, int y);

// `button` was released: a drag that it held ends.
void EndPainting(uint32_t button);

// Ends any drag without a release: the program's state starts over.
void CancelPainting();
