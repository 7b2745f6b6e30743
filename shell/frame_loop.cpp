#include "shell/frame_loop.h"

#include <optional>

#include "shell/platform/platform.h"

int RenderingEnabled = 0;
int CurrentFps = 0;
int FrameRateCapped = 0;
uint32_t FrameIntervalMs = 0;
GentlePacing Gentle;

namespace {

constexpr uint32_t kMeasuringWindowMs = 1000;

// The end of a wait for a frame that spins on the clock instead of sleeping.
// A sleep can end a little late and the clock counts whole milliseconds, so
// the sleep ends this much before the frame is due and the spin finds the
// due millisecond itself: the frame comes when a wait that only spun would
// have let it come.
constexpr uint32_t kSpinMs = 2;

// The refresh rate that gentle pacing assumes when the swaps do not wait for
// the display.
constexpr uint32_t kAssumedRefreshHz = 60;

// Where the figure is measured from: the loop entry, then the last frame
// that closed a measuring window (uncapped) or the last capped frame.
struct Pacing {
  uint32_t windowStart;
  uint32_t frameCount;
  // For uncapped frames paced at the assumed refresh rate: when the previous
  // frame started, and which of the second's slots comes next (their lengths
  // of 16 and 17 ms add up to exactly one second).
  uint32_t previousStart;
  uint32_t refreshSlot;
};

Pacing StartPacing() {
  const uint32_t now = PlatformTickCount();
  return Pacing{now, 0, now, 0};
}

// Waits until `wait` ms have passed since `since` (unsigned difference, so the
// counter may wrap): sleeps while more than kSpinMs remain, waking for any
// event, then spins on the clock. Returns the tick read that ended the wait,
// or nothing when an event came first; the loop then serves the events
// before the frame, as it always does, and starts the frame anew.
std::optional<uint32_t> WaitUntil(uint32_t since, uint32_t wait) {
  uint32_t now = PlatformTickCount();
  while (now - since < wait) {
    const uint32_t remaining = wait - (now - since);
    if (remaining > kSpinMs && PlatformWaitEventTimeout(remaining - kSpinMs)) return std::nullopt;
    now = PlatformTickCount();
  }
  return now;
}

// Capped: waits until the interval has passed since the previous frame
// started, then publishes 1000 / period.
std::optional<uint32_t> PaceCappedFrame(Pacing& pacing) {
  const std::optional<uint32_t> now = WaitUntil(pacing.windowStart, FrameIntervalMs);
  if (!now) return std::nullopt;
  // SetFrameRate keeps the interval at 1 ms or more, so elapsed is never 0.
  CurrentFps = static_cast<int>(1000u / (*now - pacing.windowStart));
  pacing.windowStart = *now;
  return now;
}

// Uncapped: counts frames over a window of a little more than one second;
// the frame that closes a window is counted in neither window.
void CountUncappedFrame(Pacing& pacing, uint32_t now) {
  const uint32_t elapsed = now - pacing.windowStart;
  if (elapsed <= kMeasuringWindowMs) {
    ++pacing.frameCount;
    return;
  }
  CurrentFps = static_cast<int>(pacing.frameCount * 1000u / elapsed);
  pacing.frameCount = 0;
  pacing.windowStart = now;
}

// The length of one of the assumed refresh rate's slots of a second.
uint32_t RefreshSlotMs(uint32_t slot) {
  return (slot + 1) * 1000 / kAssumedRefreshHz - slot * 1000 / kAssumedRefreshHz;
}

// Uncapped frames run back to back, except under gentle pacing with swaps
// that do not wait for the display: each then waits for its refresh slot.
std::optional<uint32_t> PaceUncappedFrame(Pacing& pacing) {
  std::optional<uint32_t> now;
  if (Gentle.on && !Gentle.swapsFollowRefresh) {
    now = WaitUntil(pacing.previousStart, RefreshSlotMs(pacing.refreshSlot));
    if (!now) return std::nullopt;
    pacing.refreshSlot = (pacing.refreshSlot + 1) % kAssumedRefreshHz;
  } else {
    now = PlatformTickCount();
  }
  CountUncappedFrame(pacing, *now);
  return now;
}

}  // namespace

int RunFrameLoop(FrameCallback callback) {
  Pacing pacing = StartPacing();
  for (;;) {
    // Events first: every pending event is dispatched before a frame runs.
    if (PlatformEventPending()) {
      int exitCode = 0;
      if (!PlatformDispatchEvent(&exitCode)) return exitCode;
      continue;
    }
    if (RenderingEnabled == 0) {
      PlatformWaitEvent();
      continue;
    }
    if (Gentle.on && !PlatformWindowOnScreen()) {
      PlatformWaitEvent();
      // The time off screen is no frame's: the next frame measures afresh.
      pacing = StartPacing();
      continue;
    }
    const std::optional<uint32_t> frameStart =
        FrameRateCapped != 0 ? PaceCappedFrame(pacing) : PaceUncappedFrame(pacing);
    if (!frameStart) continue;  // an event came while waiting
    pacing.previousStart = *frameStart;
    if (callback != nullptr) callback(CurrentFps);
  }
}

void SetFrameRate(int framesPerSecond) {
  if (framesPerSecond <= 0) {
    FrameRateCapped = 0;
    return;
  }
  FrameRateCapped = 1;
  // Above 1000 frames per second the interval would be 0 ms, and a frame in
  // the same tick as the previous one would divide the figure by zero.
  const int interval = 1000 / framesPerSecond;
  FrameIntervalMs = static_cast<uint32_t>(interval > 0 ? interval : 1);
}
