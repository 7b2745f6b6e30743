#include "shell/app/frame_loop.h"

#include "shell/app/program_state.h"
#include "shell/platform/platform.h"

namespace {

constexpr uint32_t kMeasuringWindowMs = 1000;

// The end of a wait for a frame that spins on the clock instead of sleeping.
// A sleep can end a little late and the clock counts whole milliseconds, so
// the sleep ends this much before the frame is due and the spin finds the
// due millisecond itself.
constexpr uint32_t kSpinMs = 2;

// The refresh rate that gentle pacing assumes when the swaps do not wait for
// the display.
constexpr uint32_t kAssumedRefreshHz = 60;

// Swaps that wait for the refresh cannot give this many uncapped frames in
// less than three quarters of their refresh periods; swaps that do not
// wait give them in far less.
constexpr uint32_t kSwapProbeFrames = 12;
constexpr uint32_t kSwapProbeMinimumMs = kSwapProbeFrames * 1000 / kAssumedRefreshHz * 3 / 4;

}  // namespace

FrameLoop::FrameLoop(FrameCallback callback, FrameScheduling scheduling)
    : callback_(callback),
      windowStart_(PlatformTickCount()),
      previousStart_(windowStart_),
      pacesRefresh_(!App.Gentle.swapsFollowRefresh),
      swapProbeStart_(windowStart_),
      scheduling_(scheduling) {}

bool FrameLoop::ServeEvents(int* exitCode) {
  while (PlatformEventPending()) {
    if (!PlatformDispatchEvent(exitCode)) return false;
  }
  return true;
}

bool FrameLoop::FrameDue() const {
  if (App.FrameRateCapped && scheduling_ == FrameScheduling::RefreshDriven) {
    // A signed difference: the counter may wrap.
    return static_cast<int32_t>(PlatformTickCount() - ScheduledDue()) >= 0;
  }
  if (App.FrameRateCapped) return PlatformTickCount() - windowStart_ >= App.FrameIntervalMs;
  return !PacedToAssumedRefresh() || PlatformTickCount() - previousStart_ >= RefreshWaitMs();
}

bool FrameLoop::RunFrame() {
  if (App.FrameRateCapped && scheduling_ == FrameScheduling::RefreshDriven) {
    ScheduleCappedFrame();
  } else if (!(App.FrameRateCapped ? PaceCappedFrame() : PaceUncappedFrame())) {
    return false;
  }
  if (callback_ != nullptr) callback_(App.CurrentFps);
  return true;
}

// Reads the clock until `wait` ms have passed since `since` (an unsigned
// difference, so the counter may wrap), sleeping while more than kSpinMs
// remain; `now` is the last tick read. False when an event ended a sleep.
bool FrameLoop::WaitUntil(uint32_t since, uint32_t wait, uint32_t* now) const {
  *now = PlatformTickCount();
  while (*now - since < wait) {
    const uint32_t remaining = wait - (*now - since);
    if (remaining > kSpinMs && PlatformWaitEventTimeout(remaining - kSpinMs)) return false;
    *now = PlatformTickCount();
  }
  return true;
}

bool FrameLoop::PacedToAssumedRefresh() const { return App.Gentle.on && pacesRefresh_; }

bool FrameLoop::PaceCappedFrame() {
  uint32_t now = 0;
  if (!WaitUntil(windowStart_, App.FrameIntervalMs, &now)) return false;
  // SetFrameRate keeps the interval at 1 ms or more, so elapsed is never 0.
  App.CurrentFps = static_cast<int>(1000u / (now - windowStart_));
  windowStart_ = now;
  previousStart_ = now;
  // Capped frames tell nothing about the swaps: the next run starts afresh.
  swapProbeStart_ = now;
  swapProbeFrames_ = 0;
  return true;
}

// When the next capped frame is due: in the running schedule, or one
// interval after the previous frame when the rate has changed since.
uint32_t FrameLoop::ScheduledDue() const {
  const bool sameRate = scheduledRate_ == App.FrameRateCap;
  const uint64_t frame = sameRate ? nextScheduledFrame_ : 1;
  const int rate = App.FrameRateCap > 0 ? App.FrameRateCap : 1;
  // Offsets past 2^32 ms wrap as the counter does.
  const auto offset = static_cast<uint32_t>(frame * 1000u / static_cast<uint64_t>(rate));
  return (sameRate ? scheduleStart_ : previousStart_) + offset;
}

void FrameLoop::ScheduleCappedFrame() {
  const uint32_t now = PlatformTickCount();
  if (scheduledRate_ != App.FrameRateCap) {
    scheduleStart_ = previousStart_;
    scheduledRate_ = App.FrameRateCap;
    nextScheduledFrame_ = 1;
  }
  ++nextScheduledFrame_;
  // Already due again: this frame was a whole interval late or more.
  if (static_cast<int32_t>(now - ScheduledDue()) >= 0) {
    scheduleStart_ = now;
    nextScheduledFrame_ = 1;
  }
  CountScheduledFrame(now);
  previousStart_ = now;
}

// The length of the next of the assumed refresh rate's slots of a second.
uint32_t FrameLoop::RefreshWaitMs() const {
  return (refreshSlot_ + 1) * 1000 / kAssumedRefreshHz - refreshSlot_ * 1000 / kAssumedRefreshHz;
}

bool FrameLoop::PaceUncappedFrame() {
  uint32_t now = 0;
  if (PacedToAssumedRefresh()) {
    if (!WaitUntil(previousStart_, RefreshWaitMs(), &now)) return false;
    refreshSlot_ = (refreshSlot_ + 1) % kAssumedRefreshHz;
  } else {
    now = PlatformTickCount();
    if (App.Gentle.on) WatchSwaps(now);
  }
  CountUncappedFrame(now);
  previousStart_ = now;
  return true;
}

// Under gentle pacing with refresh-synced swaps: once kSwapProbeFrames
// uncapped frames have come too fast for swaps that wait, the swaps do not,
// and the loop paces the frames itself from the next one on.
void FrameLoop::WatchSwaps(uint32_t now) {
  if (++swapProbeFrames_ < kSwapProbeFrames) return;
  pacesRefresh_ = now - swapProbeStart_ < kSwapProbeMinimumMs;
  swapProbeStart_ = now;
  swapProbeFrames_ = 0;
}

void FrameLoop::CountUncappedFrame(uint32_t now) {
  const uint32_t elapsed = now - windowStart_;
  if (elapsed <= kMeasuringWindowMs) {
    ++frameCount_;
    return;
  }
  // The frame that closes a window is counted in neither window.
  App.CurrentFps = static_cast<int>(frameCount_ * 1000u / elapsed);
  frameCount_ = 0;
  windowStart_ = now;
}

void FrameLoop::CountScheduledFrame(uint32_t now) {
  ++frameCount_;
  const uint32_t elapsed = now - windowStart_;
  if (elapsed < kMeasuringWindowMs) return;
  App.CurrentFps = static_cast<int>((frameCount_ * 1000u + elapsed / 2) / elapsed);
  frameCount_ = 0;
  windowStart_ = now;
}

int RunFrameLoop(FrameCallback callback) {
  FrameLoop loop(callback);
  for (;;) {
    // Events first: every pending event is dispatched before a frame runs.
    int exitCode = 0;
    if (!loop.ServeEvents(&exitCode)) return exitCode;
    if (!App.RenderingEnabled) {
      PlatformWaitEvent();
      continue;
    }
    if (App.Gentle.on && !PlatformWindowOnScreen()) {
      PlatformWaitEvent();
      // The time off screen is no frame's: the next frame measures afresh.
      loop = FrameLoop(callback);
      continue;
    }
    loop.RunFrame();  // when an event cut its wait short, the next pass serves it
  }
}

void SetFrameRate(int framesPerSecond) {
  if (framesPerSecond <= 0) {
    App.FrameRateCapped = false;
    return;
  }
  App.FrameRateCapped = true;
  App.FrameRateCap = framesPerSecond < 1000 ? framesPerSecond : 1000;
  // Above 1000 frames per second the interval would be 0 ms, and a frame in
  // the same tick as the previous one would divide the figure by zero.
  const int interval = 1000 / framesPerSecond;
  App.FrameIntervalMs = static_cast<uint32_t>(interval > 0 ? interval : 1);
}
