// The program's spine: start-up, the frame loop, tear-down.
#pragma once

#include <string>

#include "shell/bmp_file.h"
#include "shell/platform/platform.h"
#include "shell/program_state.h"

// The wall texture as read from its file: allocated by LoadBitmapFile, freed
// after the frame loop once OpenGL holds its own copy. Null and zero when the
// file could not be read.
extern unsigned char* TexturePixels;
extern BitmapInfoHeader TextureInfo;

// How the window is chosen at start.
enum class WindowChoice { Ask, Framed, FullScreen };

struct LaunchOptions {
  WindowChoice window = WindowChoice::Ask;
  int showCommand = kShowNormal;              // how the platform asked the window to be shown
  std::string mapFile = kDefaultMapFileName;  // UTF-8, as are all file names
  std::string textureFile = kDefaultTextureFileName;
  // Whether the command line named the file: only a file named there is
  // reported when it cannot be read; the program runs without the defaults.
  bool mapFileNamed = false;
  bool textureFileNamed = false;
  // Clicks edit the maze and write it to `mapFile` (--edit).
  bool edit = false;
};

// Loads the maze, asks for full screen, sets up the window, the context and
// the texture, runs the frame loop until the window is closed and tears
// down. Returns 1, the process's exit code, whatever happens.
int RunApplication(const LaunchOptions& options);

// Reads the texture file into TexturePixels and TextureInfo and makes it the
// current 2-D texture; an unreadable file gives the empty texture, which
// leaves the walls in their plain colour.
void LoadWallTexture(const char* fileName);
