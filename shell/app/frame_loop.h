// The frame loop: serves the event queue and, whenever it is empty, runs one
// frame with the frames-per-second figure, optionally capped. Its state
// (RenderingEnabled, CurrentFps, the cap and gentle pacing) is App's
// (shell/app/program_state.h).
#pragma once

#include <cstdint>

// The per-frame function: takes the frames-per-second figure; the loop
// ignores its result.
using FrameCallback = int (*)(int fps);

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
  // Under gentle pacing: whether the loop paces uncapped frames itself (the
  // swaps are not known to wait for the refresh); otherwise, when the
  // current run of uncapped frames began and how many it has had, which
  // tells whether the swaps really wait.
  bool pacesRefresh_;
  uint32_t swapProbeStart_;
  uint32_t swapProbeFrames_ = 0;

  bool PacedToAssumedRefresh() const;
  void WatchSwaps(uint32_t now);

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
