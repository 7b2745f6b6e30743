// Drawing the maze with the mouse (the --edit option): a click cycles the
// cell under it while the explorer waits on its start cell, and the map file
// is written at once, so that it always holds what the screen shows. Another
// program (a second window on the same map, a text editor) may change the
// file meanwhile: its change is reloaded, never written over.
#pragma once

#include <cstdint>
#include <string>

// Whether a failed write of the map file has been reported and no write has
// succeeded since: the user is told once, not at every click.
extern bool MapWriteFailureReported;

// The map file as the program last read or wrote it in edit mode: whether
// it was there, and its bytes; and when it was last looked at
// (PlatformTickCount).
struct MapFileVersion {
  bool exists = false;
  std::string contents;

  bool operator==(const MapFileVersion& other) const {
    return exists == other.exists && contents == other.contents;
  }
};
extern MapFileVersion KnownMapFile;
extern uint32_t LastMapCheckMs;

// The status line's note after the map file was found changed on disk and
// reloaded.
extern const char kMapReloadedNote[];

// How often, at most, the map file is looked at while the maze may be
// edited, so that a change made by another program shows without a click.
constexpr uint32_t kMapCheckIntervalMs = 500;

// Loads the map file (MapFileName) into the explorer, as LoadMaze does. In
// edit mode it also remembers what the file held, so that a change by
// another program is found before the next write.
void LoadMapFile();

// In edit mode, while the explorer waits at start, at most every
// kMapCheckIntervalMs: reloads the map file if another program changed it,
// saying so on the status line. Called once a frame.
void FollowMapFile();

// A press of `button` (a PointerButton) at pixel (x, y) of the drawing area,
// from its top-left corner. In edit mode, while the explorer waits at start,
// the left button cycles the cell under the point forward and the right
// button backward, and the map file is written. When another program changed
// the file since the program last read or wrote it, the file is reloaded
// first and the cell gets the code the click would have given on the map the
// user saw; the other cells are the file's. When the file cannot be written,
// the cell gets its code back and a warning tells why. Anything else (no
// edit mode, the explorer has moved, a point outside the maze, another
// button) does nothing.
void EditCellAtPoint(uint32_t button, int x, int y);
