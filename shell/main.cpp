// Pathwick: a depth-first maze search, animated one tick per frame.
//
// Usage: pathwick [--windowed | --fullscreen] [--map FILE] [--texture FILE]
// With no arguments it asks whether to run full screen and reads
// "MazeMap.txt" and "Stone.BMP" from the working directory.
#include "shell/heap.h"
#include "shell/launch.h"

int main(int argc, char** argv) {
  KeepFreedMemoryInHeap();
  return RunProgram(argc, argv, nullptr, kShowNormal);
}
