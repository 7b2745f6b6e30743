// Pathwick in a web browser: the program's start, its frame loop driven by
// the browser's animation frames, and its end.
//
// The page's address takes the options of the desktop command line as a
// query: ?windowed, ?fullscreen, ?edit. Without ?windowed or ?fullscreen the
// page asks the full-screen question in a box of its own before the program
// starts. The shipped maze and texture are built in; the map the program
// reads and writes is MazeMap.txt in the page's memory, which starts as the
// map kept in the browser's storage, if any, or else the shipped one.
//
// ?frames=N is the test mode: the framed window, the search running from the
// first frame, a clock that advances 20 ms a display refresh (50 refreshes a
// second, each running a frame while nothing caps them), and the page
// holding still after frame N, as pathwick-record draws frame N with
// --every 1 --delay 20.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "explorer/maze_explorer.h"
#include "explorer/maze_generator.h"
#include "shell/app/frame_loop.h"
#include "shell/app/program_state.h"
#include "shell/app/window.h"
#include "shell/files/file_names.h"
#include "shell/files/safe_replacement.h"
#include "shell/main/application.h"
#include "shell/platform/platform.h"
#include "shell/platform/web/platform_web.h"
#include "shell/text/text_ids.h"
#include "ui/frame.h"
#include "ui/maze_editing.h"

namespace {

constexpr char kShippedMap[] = "/shipped/MazeMap.txt";
constexpr char kShippedTexture[] = "/shipped/Stone.BMP";
// Where the page puts the bytes of a map the user opens, for WebOpenMap.
constexpr char kOpenedMap[] = "/opened";
constexpr uint32_t kTestFrameMs = 20;

LaunchOptions options;
std::optional<FrameLoop> loop;  // from the first refresh to the end
long testFrames = 0;            // ?frames=N: the frame to hold; 0 outside the test mode
long testFramesDrawn = 0;
long testRefreshes = 0;

// Whether the last frame drawn showed a still picture, and whether anything
// (an event, the page) may have changed the picture since.
bool drawnStill = false;
bool pictureChanged = true;
// From the loss of the WebGL context until it is restored: no frame runs,
// so the search stands at its tick.
bool contextLost = false;
// Whether the animation frames have stopped on a still picture or a box:
// nothing but the page's call to WebWake changes what the page shows then.
bool resting = false;
// The status line as the page's live region last got it.
std::string statusShown;

void CopyFile(const char* from, const char* to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  out << in.rdbuf();
}

// The test mode's frame: the program's own, counted.
int DrawTestFrame(int fps) {
  DrawFrame(fps);
  ++testFramesDrawn;
  return fps;
}

// Keeps the map file in the browser's storage. When the storage refuses it,
// the page has put back the map it holds and said why, and the program loads
// that again: the edit is undone, as when the desktop cannot write the map
// file, so the screen, the storage and Save map always agree.
void KeepMapOrUndo() {
  if (!web::StoreMap()) LoadMapFile();
}

// Waiting at start, paused, held after a step or over: nothing but an
// event (or the figure) changes the picture.
bool PictureStill() { return App.Explorer.paused != 0 || App.Explorer.IsOver(); }

// The frame outside the test mode: drawn while the picture moves; while it
// stands still, only once something may have changed it, as the browser
// keeps showing the last frame drawn.
int DrawWhenChanged(int fps) {
  const bool still = PictureStill();
  if (still && drawnStill && !pictureChanged) return fps;
  DrawFrame(fps);
  drawnStill = still;
  pictureChanged = false;
  return fps;
}

// Whether the animation frames may stop until WebWake: a box holds the
// frames back, or the last frame drawn shows a still picture that nothing
// has changed since. (The test mode's clock needs every refresh.)
bool MayRest() {
  if (testFrames != 0) return false;
  return web::BoxOpen() || contextLost || (drawnStill && PictureStill() && !pictureChanged);
}

void End() {
  EndApplication();
  loop.reset();
  web::ShowEnded();
}

// The clock of the refresh being served: the browser's, or in the test mode
// the scripted one, which advances at every refresh (a box open or a cap
// holding the frames back included), so it never stands still.
void SetRefreshClock(double time) {
  if (testFrames == 0) {
    web::SetClock(static_cast<uint32_t>(static_cast<unsigned long long>(time)));
  } else {
    web::SetClock(static_cast<uint32_t>(testRefreshes++ * kTestFrameMs));
  }
}

// The events that came since the last refresh, then a frame when rendering
// is on and the frame is due (capped, at the times of the cap's schedule);
// nothing while a box is open. False once the program has ended.
bool ServeRefresh() {
  if (web::BoxOpen()) return true;
  const bool eventsWaiting = PlatformEventPending();
  if (eventsWaiting) pictureChanged = true;
  int exitCode = 0;
  if (!loop->ServeEvents(&exitCode)) {
    End();
    return false;
  }
  // Every edit is kept in the browser's storage at once.
  if (options.edit && eventsWaiting) KeepMapOrUndo();
  // A box that an event opened holds the frames back from now on, as a
  // modal box does on the desktop.
  if (web::BoxOpen()) return true;
  if (App.RenderingEnabled && !contextLost && loop->FrameDue()) loop->RunFrame();
  return true;
}

// The status line into the page's live region, when it has changed: a
// screen reader hears each new message once.
void MirrorStatus() {
  if (statusShown == App.Explorer.message) return;
  statusShown = App.Explorer.message;
  web::ShowStatus(App.Explorer.message);
}

// One pass of the frame loop per display refresh. Returns false to stop the
// animation frames: at the end, at the test mode's last frame, and to rest
// until WebWake.
EM_BOOL OnAnimationFrame(double time, void* /*userData*/) {
  SetRefreshClock(time);
  // The loop is entered at the first refresh, on the clock it runs on.
  if (!loop) loop.emplace(options.frame, FrameScheduling::RefreshDriven);
  if (!ServeRefresh()) return EM_FALSE;
  MirrorStatus();
  if (testFrames != 0 && testFramesDrawn == testFrames) {
    web::ShowHeld();
    return EM_FALSE;
  }
  resting = MayRest();
  return resting ? EM_FALSE : EM_TRUE;
}

void Start() {
  if (!StartApplication(options)) {
    web::ShowEnded();
    return;
  }
  if (testFrames != 0) {
    // Ctrl resumes the explorer before the first frame.
    web::QueueKeyDown(KeyControl);
  }
  emscripten_request_animation_frame_loop(OnAnimationFrame, nullptr);
}

void StartAfterQuestion(QuestionAnswer answer) {
  options.window =
      answer == QuestionAnswer::Cancel ? WindowChoice::Framed : WindowChoice::FullScreen;
  Start();
}

}  // namespace

// The page put a map the user opened (a file, the shipped maze, a link) at
// kOpenedMap. When its text holds a map, a number for each of the 100 cells
// as the program reads a map file, the map file gets it in the form the
// program writes, and the explorer waits on its start cell of the new maze,
// as after starting with that map. Anything else changes nothing: false.
extern "C" EMSCRIPTEN_KEEPALIVE bool WebOpenMap() {
  std::ifstream opened(kOpenedMap, std::ios::binary);
  MazeExplorer map;
  const bool isMap = map.LoadMazeFrom(opened) == kCellCount;
  opened.close();
  std::remove(kOpenedMap);
  std::string error;
  if (!isMap || !ReplaceFileContents(options.mapFile.c_str(), MapFileText(map.grid), &error)) {
    return false;
  }
  LoadMapFile();
  if (options.edit) KeepMapOrUndo();
  pictureChanged = true;
  return true;
}

// Something came for the program (an input, a box closed, a change of the
// map file or the canvas by the page): the next frame is drawn even if the
// picture stood still, and a resting loop runs again, measuring its figure
// afresh as the time at rest was no frame's.
extern "C" EMSCRIPTEN_KEEPALIVE void WebWake() {
  pictureChanged = true;
  if (!resting) return;
  resting = false;
  // The loop starts measuring now, not at the refresh before the rest
  // (animation frames and performance.now share their clock).
  SetRefreshClock(emscripten_get_now());
  loop.emplace(options.frame, FrameScheduling::RefreshDriven);
  emscripten_request_animation_frame_loop(OnAnimationFrame, nullptr);
}

// The maze that pathwick-maze --seed N makes (one exit, no loops), for the
// page's New maze and its #seed=N links, whose seed comes as its high and
// low 32 bits: written where the page opens maps from (kOpenedMap), for the
// page to open as any map. False when no maze was made.
extern "C" EMSCRIPTEN_KEEPALIVE bool WebGenerateMaze(uint32_t seedHigh, uint32_t seedLow) {
  MazeRequest request;
  request.seed = static_cast<uint64_t>(seedHigh) << 32 | seedLow;
  MazeExplorer maze;
  if (!GenerateMaze(request, maze.grid)) return false;
  std::ofstream(kOpenedMap, std::ios::binary) << MapFileText(maze.grid);
  return true;
}

// The browser took the WebGL context away (the GPU reset, too many
// contexts): nothing is drawn until it is restored.
extern "C" EMSCRIPTEN_KEEPALIVE void WebContextLost() { contextLost = true; }

// The context is back, the same canvas's, with every object it held gone:
// the rendering is set up in it anew, the wall texture and the font lists
// included, and the frames go on from the tick the search stood at.
extern "C" EMSCRIPTEN_KEEPALIVE void WebContextRestored() {
  if (!contextLost) return;
  contextLost = false;
  ShutdownRendering();
  StartRendering(options.textureFile.c_str());
  WebWake();
}

int main() {
  options.edit = web::PageHasOption("edit");
  if (web::PageHasOption("windowed")) options.window = WindowChoice::Framed;
  if (web::PageHasOption("fullscreen")) options.window = WindowChoice::FullScreen;
  testFrames = web::PageNumberOption("frames");
  options.frame = DrawWhenChanged;
  if (testFrames != 0) {
    options.window = WindowChoice::Framed;
    options.frame = DrawTestFrame;
  }

  web::SetMapFile(options.mapFile.c_str());
  if (testFrames != 0 || !web::RestoreStoredMap()) {
    CopyFile(kShippedMap, options.mapFile.c_str());
  }
  options.textureFile = kShippedTexture;

  if (options.window == WindowChoice::Ask) {
    web::AskOkCancel(PlatformLocalizedText(TextQuestion, kFullScreenQuestion),
                     PlatformLocalizedText(TextQuestionCaption, kFullScreenQuestionCaption),
                     StartAfterQuestion);
  } else {
    Start();
  }
  return 0;
}
