// Pathwick: a depth-first maze search, animated one tick per frame.
//
// Usage: pathwick [--windowed | --fullscreen] [--map FILE] [--texture FILE] [--edit]
//                 [--gentle]
//        pathwick --help | --version
// With no arguments it asks whether to run full screen and reads
// "MazeMap.txt" and "Stone.BMP" from the working directory, else from the
// installation's data folder; --map - reads the maze from standard input.
// --edit draws the maze with the mouse before the search starts, each click
// and drag saved to the map file; --gentle spares the processor and the
// battery (full speed at the display's refresh, no drawing while the window
// is minimized or hidden); --help and --version
// print the usage or the version and exit.
#include "shell/main/heap.h"
#include "shell/main/launch.h"

int main(int argc, char** argv) {
  KeepFreedMemoryInHeap();
  return RunProgram(argc, argv, nullptr, kShowNormal);
}
