// The program's one window and its OpenGL rendering context. Whether the
// window is full screen is App.FullScreenMode (shell/app/program_state.h).
#pragma once

#include "shell/platform/platform.h"

// A borderless, always-on-top window covering the screen, without a menu,
// shown as `showCommand` asks. Returns 1, or 0 when no window was created.
int CreateFullScreenWindow(int showCommand);

// A framed window of outer size width x height at (x, y), with `menu` as its
// menu bar. A height of 0 asks for the platform's default position and size.
// Returns 1, or 0 when no window was created.
int CreateFramedWindow(int showCommand, int x, int y, int width, int height, const MenuBar& menu);

// Creates the context, makes it current, sets the initial state and builds
// the font. Returns 1, or 0 when no context could be made.
int InitRendering();

// Deletes the font lists and releases the context, in reverse order of
// creation. The window is already gone by then.
void ShutdownRendering();
