#include "shell/frame_loop.h"

#include "shell/platform/platform.h"

namespace {

constexpr uint32_t kMeasuringWindowMs = 1000;

}  // namespace

FrameLoop::FrameLoop(FrameCallback callback)
    : callback_(callback), windowStart_(PlatformTickCount()) {}

bool FrameLoop::ServeEvents(int* exitCode) {
  while (PlatformEventPending()) {
    if (!PlatformDispatchEvent(exitCode)) return false;
  }
  return true;
}

bool FrameLoop::FrameDue() const {
  return FrameRateCapped == 0 || PlatformTickCount() - windowStart_ >= FrameIntervalMs;
}

void FrameLoop::RunFrame() {
  if (FrameRateCapped != 0) {
    PaceCappedFrame();
  } else {
    CountUncappedFrame();
  }
  if (callback_ != nullptr) callback_(CurrentFps);
}

void FrameLoop::PaceCappedFrame() {
  uint32_t now = PlatformTickCount();
  uint32_t elapsed = now - windowStart_;
  // FrameIntervalMs is read anew on every pass.
  while (elapsed < FrameIntervalMs) {
    now = PlatformTickCount();
    elapsed = now - windowStart_;
  }
  // SetFrameRate keeps the interval at 1 ms or more, so elapsed is never 0.
  CurrentFps = static_cast<int>(1000u / elapsed);
  windowStart_ = now;
}

void FrameLoop::CountUncappedFrame() {
  const uint32_t now = PlatformTickCount();
  const uint32_t elapsed = now - windowStart_;
  if (elapsed <= kMeasuringWindowMs) {
    ++frameCount_;
    return;
  }
  // The frame that closes a window is counted in neither window.
  CurrentFps = static_cast<int>(frameCount_ * 1000u / elapsed);
  frameCount_ = 0;
  windowStart_ = now;
}

int RunFrameLoop(FrameCallback callback) {
  FrameLoop loop(callback);
  for (;;) {
    // Events first: every pending event is dispatched before a frame runs.
    int exitCode = 0;
    if (!loop.ServeEvents(&exitCode)) return exitCode;
    if (RenderingEnabled == 0) {
      PlatformWaitEvent();
      continue;
    }
    loop.RunFrame();
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
