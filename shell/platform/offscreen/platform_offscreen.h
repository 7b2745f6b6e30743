// The offscreen platform backend: a clock that reads what it is set to, an
// event queue filled by the caller (window_events.h), a window that exists
// only as a record, with the content scale its caller sets, and an OSMesa
// context that draws into memory. It runs the program with no
// display: the tests script it, the benchmark times frames on it, and
// pathwick-record reads its frames back as the pictures of a GIF.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "shell/platform/platform.h"
#include "shell/platform/window_events.h"

namespace offscreen {

struct ShownMessage {
  std::string text;
  std::string caption;
};

struct Platform {
  // Clock: every PlatformTickCount call returns `tick`, then advances it by
  // `tickStep`; a non-empty `tickScript` is consumed first, one value a call.
  // With `realClock` set it answers the milliseconds of the steady clock
  // instead, for measuring real pacing.
  bool realClock = false;
  uint32_t tick = 0;
  uint32_t tickStep = 0;
  std::deque<uint32_t> tickScript;
  int tickReads = 0;
  std::function<void()> onTick;  // runs at every PlatformTickCount call, before the read

  // Event queue: PlatformDispatchEvent runs the front event. The quit event
  // keeps its place: events queued after it wait until it has been reported.
  EventQueue<std::function<void()>> events;
  int waits = 0;  // PlatformWaitEvent calls; with an empty queue a wait posts quit 99
  // PlatformWaitEventTimeout: the timeout of every call, in order. A timed
  // wait with no event waiting moves the clock on by its timeout (with
  // `realClock`, it sleeps that long).
  std::vector<uint32_t> timedWaits;
  // Runs at the start of every wait, timed or not, and may queue the event
  // that "arrives" during it.
  std::function<void()> onWait;

  bool displayAvailable = true;
  void* instance = nullptr;                   // as given to PlatformOpen
  WindowProcedure windowProcedure = nullptr;  // as given to PlatformOpen
  std::vector<std::pair<NoticeKind, std::string>> notices;
  // Message catalog: PlatformLocalizedText answers the translation of the
  // own text, or the own text where there is none (the default: no
  // translations), and notes each text id looked up with its own text.
  std::map<std::string, std::string> translations;
  std::map<uint32_t, std::string> textsLookedUp;
  bool notifiesInBoxes = false;  // what PlatformNotifiesInBoxes answers
  QuestionAnswer answer = QuestionAnswer::Cancel;
  std::vector<ShownMessage> questions;
  std::function<void()> onQuestion;    // runs while the question box is "open"
  std::vector<ShownMessage> messages;  // About boxes
  std::function<void()> onMessage;     // runs while a message box is "open"

  // Window.
  bool windowExists = false;
  bool windowFailsToOpen = false;
  bool fullScreen = false;
  int windowX = 0, windowY = 0, windowWidth = 0, windowHeight = 0;
  int showCommand = 0;
  uint32_t menuResourceId = 0;
  std::vector<MenuItem> menu;
  std::string className;
  std::string title;
  // What PlatformContentScale answers while the window exists.
  float contentScale = 1;
  // A font of the backend's own, as Win32 has (PlatformBuildFontLists): none
  // by default, so the text code draws its embedded font. Set, it fills the
  // lists as it likes and answers whether it did.
  std::function<bool(uint32_t listBase, int firstChar, int count)> ownFont;

  // Drawing area and context.
  int clientWidth = 360;
  int clientHeight = 360;
  bool contextFails = false;
  bool contextCurrent = false;
  int swaps = 0;
  // Whether the driver offers a swap interval, and whether
  // PlatformSyncSwapsToRefresh set it (which needs the current context).
  bool offersSwapInterval = false;
  bool swapsSynced = false;
  // What PlatformWindowOnScreen answers.
  bool onScreen = true;
  // What PlatformHasKeyboard answers.
  bool hasKeyboard = true;
  std::function<void()> onSwap;
};

// The one offscreen platform; Reset puts it back to its start values and
// releases its context. The program's own state (App) is ResetProgramState's.
Platform& Get();
void Reset();

// Queues input for the window: dispatched to the window procedure, or
// dropped when by then the window does not exist.
void QueueMessage(MessageKind kind, uint32_t param = 0);
// Queues a pointer message (PointerDown, PointerMove or PointerUp) with its
// button or buttons held at pixel (x, y) of the drawing area, from its
// top-left corner, as QueueMessage does. As a window system would, a caller
// queues moves only while a button is held.
void QueuePointer(MessageKind kind, uint32_t buttons, int x, int y);

// The RGB of the pixel at (x, y) of the offscreen buffer, row 0 at the bottom.
struct Rgb {
  int r, g, b;
};
Rgb PixelAt(int x, int y);

// The whole offscreen buffer as a picture: rows top first, each pixel
// 0xRRGGBB, as pathwick-record encodes it and its tests decode it.
void ReadPicture(std::vector<uint32_t>& picture);

}  // namespace offscreen
