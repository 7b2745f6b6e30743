// The program's spine: start-up, the frame loop, tear-down.
#pragma once

#include <optional>
#include <string>

#include "shell/app/frame_loop.h"
#include "shell/app/program_state.h"
#include "shell/files/bmp_file.h"
#include "shell/platform/platform.h"
#include "ui/frame.h"

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
  // What the frame loop runs for each frame: the program draws every one;
  // pathwick-record steps the frames before its first one without drawing.
  FrameCallback frame = DrawFrame;
  // The map, when it was read once from standard input or a pipe named as
  // `mapFile`: searched, and reloaded by Start, instead of the file.
  std::optional<std::string> mapText;
  // Clicks edit the maze and write it to `mapFile` (--edit).
  bool edit = false;
  // Gentle pacing (--gentle): see GentlePacing.
  bool gentle = false;
};

// The full-screen question at start and its caption (UTF-8).
extern const char kFullScreenQuestion[];
extern const char kFullScreenQuestionCaption[];

// Loads the maze, asks for full screen, sets up the window, the context and
// the texture, runs the frame loop until the window is closed and tears
// down. Returns 1, the process's exit code, whatever happens.
int RunApplication(const LaunchOptions& options);

// RunApplication before and after its frame loop, for a platform whose
// loop is driven from outside, such as a browser's. StartApplication loads
// the maze and sets up the window, the context and the texture, asking for
// full screen if `options` leave it open; false, with the reason told to the
// user, when the program cannot run. EndApplication frees the texture pixels
// and shuts the rendering down once the loop has ended.
bool StartApplication(const LaunchOptions& options);
void EndApplication();

// The steps of RunApplication between the full-screen question and the frame
// loop, for the tools and tests that draw the program's frames themselves.
// CreateWindowFor makes the full-screen window or the framed 420 x 420 one
// with the menu bar; StartRendering then creates the context and sets up
// what the first frame needs: culling, the wall texture from `textureFile`
// and the viewport. Each returns 1, or 0 when it fails.
int CreateWindowFor(bool fullScreen, int showCommand);
int StartRendering(const char* textureFile);

// Reads the texture file into App.TexturePixels and App.TextureInfo, in
// place of whatever an earlier call read, and makes it the current 2-D
// texture; an unreadable file gives the empty texture, which leaves the
// walls in their plain colour.
void LoadWallTexture(const char* fileName);
