// The frame loop: serves the event queue and, whenever it is empty, runs one
// frame with the frames-per-second figure, optionally capped.
#pragma once

#include <cstdint>

// The per-frame function: takes the frames-per-second figure; the loop
// ignores its result.
using FrameCallback = int (*)(int fps);

// While 0 the loop draws no frames and waits for events instead.
extern int RenderingEnabled;
// The figure handed to the frame callback.
extern int CurrentFps;
// 1 while the frame-rate cap is on.
extern int FrameRateCapped;
// Shortest time from one frame's start to the next while capped.
extern uint32_t FrameIntervalMs;

// Gentle pacing (--gentle), for laptops. Uncapped frames follow the
// display's refresh: the buffer swaps wait for it where the driver was asked
// to (`swapsFollowRefresh`), else the loop paces them at 60 a second. While
// the window is off screen (PlatformWindowOnScreen), no frame runs and the
// loop blocks on events; it measures the figure afresh once the window
// shows again. Capped frames are paced as always. Off unless set.
struct GentlePacing {
  bool on = false;
  bool swapsFollowRefresh = false;
};
extern GentlePacing Gentle;

// Runs until the quit event and returns its exit code. `callback` may be
// null: frames are then paced and counted, but nothing is called.
int RunFrameLoop(FrameCallback callback);

// 0 removes the cap (the interval is kept); any other rate caps the frames
// at 1000 / rate milliseconds apart (integer division). Rates above 1000
// give a 1 ms interval and negative rates remove the cap.
void SetFrameRate(int framesPerSecond);
