// Drawing the maze with the mouse (the --edit option): a click cycles the
// cell under it while the explorer waits on its start cell, a drag paints
// the cells it enters with the code the pressed cell took, and the map file
// is written at every click and at the end of every drag, so that it holds
// what the screen shows whenever no button is held. Another program (a
// second window on the same map, a text editor) may change the file
// meanwhile: its change is reloaded, never written over.
#pragma once

#include <cstdint>

// Its state is App's (shell/app/program_state.h): the file as last known,
// the drag under way, whether a failed write was reported.

// The status line's note after the map file was found changed on disk and
// reloaded.
extern const char kMapReloadedNote[];

// Loads the map into the explorer, as LoadMaze does: the map in memory
// (App.MapInMemory) if there is one, else the map file (App.MapFileName). In edit
// mode it also remembers what the file held, so that a change by another
// program is found before the next write.
void LoadMapFile();

// What a new maze from the N key holds: the generator's defaults, as
// pathwick-maze makes them without options.
constexpr int kNewMazeExits = 1;
constexpr int kNewMazeLoops = 0;

// Draws the new maze of `seed` with the generator and makes it the map: the
// explorer waits on its start cell, paused, and the status line says "New
// maze, seed N". In edit mode it goes to the map file as a click's edit
// does: another program's change is reloaded first (and every cell then
// gets the new maze's code), and a file that cannot be written keeps its
// map, on the screen too, with a warning. Without edit mode the maze lives
// in memory (MapInMemory), the map that Start and Backspace reload, and the
// file is left alone. False when the maze was not put.
bool PutNewMaze(uint64_t seed);

// In edit mode, while the explorer waits at start and no drag is under way:
// when the map file's stamp changed, reloads it if another program changed
// it, saying so on the status line; so a change shows without a click.
// Called once a frame (a stat of the file, and a read only on a change).
void FollowMapFile();

// A press of `button` (a PointerButton) at pixel (x, y) of the drawing area,
// from its top-left corner. In edit mode, while the explorer waits at start,
// the left button cycles the cell under the point forward and the right
// button backward, and the map file is written; the press starts a drag
// that paints with the code the cell took. When another program changed the
// file since the program last read or wrote it, the file is reloaded before
// the write (of a click or of a drag) and the cells edited get again the
// codes the user gave them on the map they saw; the other cells are the
// file's. When the file cannot be written,
// the cell gets its code back and a warning tells why. Anything else (no
// edit mode, the explorer has moved, a point outside the maze, another
// button) does nothing.
void EditCellAtPoint(uint32_t button, int x, int y);

// The pointer moved to (x, y) with `buttons` (PointerButton bits) held.
// During a drag whose button is still held, every cell that the pointer
// enters on the straight way from its last point gets the drag's code unless
// it holds it already. Points outside the maze paint nothing but keep the
// drag going. A search that runs (or is about to, after Return) ends it. The file is written when
// the drag ends (a write per cell would hold up the drag: it flushes the file to the disk): a move
// without the drag's button ends it, as its release does.
void PaintCellAtPoint(uint32_t buttons, int x, int y);

// `button` was released: a drag that it held ends.
void EndPainting(uint32_t button);

// Writes the cells a drag has painted so far, if any; when the file cannot
// be written they get their codes back and a warning tells why, as for a
// click. The window procedure calls it before every other message, so that
// no command (Return, Escape, ...) finds the file behind the screen.
void SavePainting();

// Ends a drag, writing what it painted.
void FinishPainting();
