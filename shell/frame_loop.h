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

// Runs until the quit event and returns its exit code. `callback` may be
// null: frames are then paced and counted, but nothing is called.
int RunFrameLoop(FrameCallback callback);

// 0 removes the cap (the interval is kept); any other rate caps the frames
// at 1000 / rate milliseconds apart (integer division). Rates above 1000
// give a 1 ms interval and negative rates remove the cap.
void SetFrameRate(int framesPerSecond);
