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
// The capped rate in frames per second (1 to 1000) as SetFrameRate last set
// it, kept while the cap is off.
extern int FrameRateCap;

// Gentle pacing (--gentle), for laptops. Uncapped frames follow the
// display's refresh: the buffer swaps wait for it where the driver was asked
// to (`swapsFollowRefresh`), else the loop paces them at 60 a second. While
// the window is off screen (PlatformWindowOnScreen), no frame runs and
// RunFrameLoop blocks on events; it measures the figure afresh once the
// window shows again. Capped frames are paced as always. Off unless set.
struct GentlePacing {
  bool on = false;
  bool swapsFollowRefresh = false;
};
extern GentlePacing Gentle;

// How capped frames are timed.
// - Waiting (RunFrameLoop): RunFrame waits until the interval has passed
//   since the previous frame started, and the figure is 1000 / that period.
// - RefreshDriven (a platform that cannot block, such as a browser, which
//   calls FrameDue and RunFrame once per display refresh): frame k of a
//   schedule is due k * 1000 / FrameRateCap ms after the schedule began and
//   runs at the first refresh at or after that, so the frames average the
//   capped rate at any refresh rate below it (timed from the previous frame,
//   each interval would round up to whole refreshes). A frame late by a
//   whole interval or more (the refreshes are slower than the cap, or the
//   page stalled) begins the schedule anew, so late frames never run back to
//   back to catch up; so does a change of the rate. The figure is the frames
//   of the last second or so, counted as the intervals they end.
enum class FrameScheduling { Waiting, RefreshDriven };

// The loop's parts, for RunFrameLoop and for a platform that cannot block,
// such as a browser, whose backend runs them once per display refresh
// instead of in a loop of its own: ServeEvents, then RunFrame when rendering
// is enabled and FrameDue says so.
class FrameLoop {
 public:
  // Takes the loop entry's tick, where the first measuring window starts.
  explicit FrameLoop(FrameCallback callback, FrameScheduling scheduling = FrameScheduling::Waiting);

  // Dispatches every pending event, one at a time. False, with the exit code
  // in `exitCode`, when the quit event comes: the loop is over.
  bool ServeEvents(int* exitCode);

  // Whether a frame may start now: capped, once the interval has passed
  // since the previous frame started; uncapped, always (under gentle pacing
  // without refresh-synced swaps, once the frame's refresh slot has come).
  bool FrameDue() const;

  // Runs one frame: capped, waits for whatever part of the interval has not
  // passed and publishes 1000 / period; uncapped, counts the frame in the
  // current measuring window. Then calls the callback, if any, with the
  // figure. The wait sleeps, woken by any event, until 2 ms before the frame
  // is due, and spins on the clock for the rest, so the frame starts on the
  // tick a wait that only spun would give it. False, with no frame run, when
  // an event came during the wait: it is to be served first, and the frame
  // run anew.
  bool RunFrame();

 private:
  bool PaceCappedFrame();
  bool PaceUncappedFrame();
  void ScheduleCappedFrame();
  uint32_t ScheduledDue() const;
  void CountUncappedFrame(uint32_t now);
  void CountScheduledFrame(uint32_t now);
  bool WaitUntil(uint32_t since, uint32_t wait, uint32_t* now) const;
  uint32_t RefreshWaitMs() const;

  FrameCallback callback_;
  // The loop entry, then the last frame that closed a measuring window
  // (uncapped) or the last capped frame.
  uint32_t windowStart_;
  uint32_t frameCount_ = 0;  // uncapped frames in the current window
  // Under gentle pacing without refresh-synced swaps: when the previous
  // frame started, and which of the second's 60 slots comes next (their
  // lengths of 16 and 17 ms add up to exactly one second).
  uint32_t previousStart_;
  uint32_t refreshSlot_ = 0;
  // RefreshDriven capped frames: the schedule's start and rate (0 before the
  // first), and the number of the next frame due in it.
  FrameScheduling scheduling_;
  uint32_t scheduleStart_ = 0;
  int scheduledRate_ = 0;
  uint64_t nextScheduledFrame_ = 0;
};

// Runs until the quit event and returns its exit code. `callback` may be
// null: frames are then paced and counted, but nothing is called.
int RunFrameLoop(FrameCallback callback);

// 0 removes the cap (the interval is kept); any other rate caps the frames
// at 1000 / rate milliseconds apart (integer division). Rates above 1000
// give a 1 ms interval and negative rates remove the cap.
void SetFrameRate(int framesPerSecond);
