// Everything the program changes while it runs, in one object: `App`. Each
// group of members belongs to the code named above it, which alone writes
// it; the others read it. The members keep the names the program's globals
// always had (Explorer, SpeedSetting, RenderingEnabled...).
//
// Every member starts from its default initialiser, so ResetProgramState is
// one assignment and leaves nothing behind: a member added here is reset
// with the others. The platform's window and OpenGL context are the
// backend's and belong to it; the font's display lists live in the context,
// so their base (FontListBase, shell/text/bitmap_text.h) goes with them.
//
// Plain data: it includes only headers below it, so that shell/app, ui/ and
// shell/main/ all read it downward.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "explorer/maze_explorer.h"
#include "shell/files/bmp_file.h"
#include "shell/files/file_names.h"

constexpr char kDefaultMapFileName[] = "MazeMap.txt";
constexpr char kDefaultTextureFileName[] = "Stone.BMP";

// The window class (X class on X11) and the window's title.
constexpr char WindowClassName[] = "PathwickClass";
constexpr char WindowTitle[] = "Pathwick --Demo Corvinder 2002-5-18";

// The frame rate that the speed commands start from.
constexpr int kStartSpeedSetting = 100;

// Gentle pacing (--gentle), for laptops. Uncapped frames follow the
// display's refresh: the buffer swaps wait for it where the driver was asked
// to (`swapsFollowRefresh`), else the loop paces them at 60 a second (the
// display's rate, which no platform tells). A driver may take the request
// and still not wait (software GL under Wine): when uncapped frames come
// faster than the refresh could let them, the loop paces them itself from
// then on, so --gentle never draws more than the plain program. While
// the window is off screen (PlatformWindowOnScreen), no frame runs and
// RunFrameLoop blocks on events; it measures the figure afresh once the
// window shows again. Capped frames are paced as always. Off unless set.
struct GentlePacing {
  bool on = false;
  bool swapsFollowRefresh = false;
};

// The map file as the program last read or wrote it in edit mode: whether
// it was there, and its bytes.
struct MapFileVersion {
  bool exists = false;
  std::string contents;

  bool operator==(const MapFileVersion& other) const {
    return exists == other.exists && contents == other.contents;
  }
};

// A point of the drawing area in pixels, from its top-left corner.
struct PointerPoint {
  int x;
  int y;
};

// A cell that a drag painted (its grid index) and the code it held before.
struct PaintedCell {
  int index;
  int32_t before;
};

// A drag under way: the button that pressed, the code it paints, the point
// the pointer was last at, the cell it was last in (none while outside the
// maze), and the cells painted since the file was last written.
struct Painting {
  uint32_t button;
  int32_t code;
  PointerPoint lastPoint;
  std::optional<int> lastCell;
  std::vector<PaintedCell> unsaved;
};

struct ProgramState {
  // The one explorer, stepped and drawn once per frame (ui/frame.h), loaded
  // and commanded by ui/commands.h and ui/maze_editing.h.
  MazeExplorer Explorer;

  // Start-up (shell/main/launch.h, shell/main/application.h).
  // The program instance that the platform started (Windows); null elsewhere.
  void* AppInstance = nullptr;
  // The file that the Start command reloads ("MazeMap.txt" unless the
  // command line names another).
  const char* MapFileName = kDefaultMapFileName;
  // The map that Start and Backspace reload instead of MapFileName's file,
  // when there is one: a map read once from standard input or a pipe, or a
  // new maze drawn without --edit. None: the file is read.
  std::optional<std::string> MapInMemory;
  // The wall texture as read from its file, until the frame loop has ended
  // (OpenGL holds its own copy); empty, and the header zero, when the file
  // could not be read.
  std::unique_ptr<unsigned char[]> TexturePixels;
  BitmapInfoHeader TextureInfo{};

  // The window (shell/app/window.h): whether it was created full screen.
  // Set before the window exists, so the window procedure can read it from
  // the first message on.
  bool FullScreenMode = false;

  // The frame loop (shell/app/frame_loop.h).
  // While false the loop draws no frames and waits for events instead.
  bool RenderingEnabled = false;
  // The figure handed to the frame callback.
  int CurrentFps = 0;
  // Whether the frame-rate cap is on.
  bool FrameRateCapped = false;
  // Shortest time from one frame's start to the next while capped.
  uint32_t FrameIntervalMs = 0;
  // The capped rate in frames per second (1 to 1000) as SetFrameRate last
  // set it, kept while the cap is off.
  int FrameRateCap = 0;
  GentlePacing Gentle;

  // The commands (ui/commands.h): the frame rate that the speed commands
  // step (15..105), although no cap is set until the first speed command.
  int SpeedSetting = kStartSpeedSetting;

  // Editing the maze (ui/maze_editing.h).
  // Whether a failed write of the map file has been reported and no write
  // has succeeded since: the user is told once, not at every click.
  bool MapWriteFailureReported = false;
  // The map file as last read or written in edit mode, and its stamp when
  // it was last looked at.
  MapFileVersion KnownMapFile;
  FileStamp KnownMapStamp;
  // The drag under way; none between drags.
  std::optional<Painting> Drag;
};

extern ProgramState App;

// Puts the program back as it was when the process started, texture pixels
// freed, for callers that run the program more than once in a process (the
// tests, the benchmark, pathwick-record).
void ResetProgramState();
