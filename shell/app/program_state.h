// The state that start-up and the controls share: the one explorer, the
// names the program runs under, and the map file that Start reloads. Read
// by shell/ and ui/ alike; everything here lives for the whole run.
//
// program_state.cpp also defines the globals that other headers declare
// (the frame loop's, the window's, the font's, the texture's, the
// commands'), so that one function can reset them all.
#pragma once

#include <optional>
#include <string>

#include "explorer/maze_explorer.h"

// The one explorer, stepped and drawn once per frame.
extern MazeExplorer Explorer;

// The program instance that the platform started (Windows); null elsewhere.
extern void* AppInstance;

// The window class (X class on X11) and the window's title.
extern const char WindowClassName[];
extern const char WindowTitle[];

constexpr char kDefaultMapFileName[] = "MazeMap.txt";
constexpr char kDefaultTextureFileName[] = "Stone.BMP";

// The file that the Start command reloads ("MazeMap.txt" unless the command
// line names another).
extern const char* MapFileName;

// The map that Start and Backspace reload instead of MapFileName's file,
// when there is one: a map read once from standard input or a pipe, or a
// new maze drawn without --edit. None: the file is read.
extern std::optional<std::string> MapInMemory;

// Puts every global the program changes back to its start value and frees
// the texture pixels, for callers that run the program more than once in a
// process (the tests, the benchmark, pathwick-record). The OpenGL context
// and the window belong to the platform, which resets them itself.
void ResetProgramState();
