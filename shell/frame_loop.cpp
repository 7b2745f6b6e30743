#include "shell/frame_loop.h"

#include "shell/platform/platform.h"

namespace {

constexpr uint32_t kMeasuringWindowMs = 1000;

// Where the figure is measured from: the loop entry, then the last frame
// that closed a measuring window (uncapped) or the last capped frame.
struct Pacing {
  uint32_t windowStart;
  uint32_t frameCount;
};

// Capped: busy-waits until the interval has passed since the previous frame
// started (no events are served meanwhile), then publishes 1000 / period.
void PaceCappedFrame(Pacing& pacing) {
  uint32_t now = PlatformTickCount();
  uint32_t elapsed = now - pacing.windowStart;
  while (elapsed < FrameIntervalMs) {
    now = PlatformTickCount();
    elapsed = now - pacing.windowStart;
  }
  // SetFrameRate keeps the interval at 1 ms or more, so elapsed is never 0.
  CurrentFps = static_cast<int>(1000u / elapsed);
  pacing.windowStart = now;
}

// Uncapped: counts frames over a window of a little more than one second;
// the frame that closes a window is counted in neither window.
void CountUncappedFrame(Pacing& pacing) {
  const uint32_t now = PlatformTickCount();
  const uint32_t elapsed = now - pacing.windowStart;
  if (elapsed <= kMeasuringWindowMs) {
    ++pacing.frameCount;
    return;
  }
  CurrentFps = static_cast<int>(pacing.frameCount * 1000u / elapsed);
  pacing.frameCount = 0;
  pacing.windowStart = now;
}

}  // namespace

int RunFrameLoop(FrameCallback callback) {
  Pacing pacing{PlatformTickCount(), 0};
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
    if (FrameRateCapped != 0) {
      PaceCappedFrame(pacing);
    } else {
      CountUncappedFrame(pacing);
    }
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
