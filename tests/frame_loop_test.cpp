// The frame loop against the offscreen platform: the frames-per-second figure
// capped and uncapped, the wait of the cap (asleep, then spinning), gentle
// pacing, SetFrameRate, and the order of events, frames and the quit event.
#include "shell/app/frame_loop.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "shell/platform/offscreen/platform_offscreen.h"
#include "shell/platform/platform.h"
#include "tests/offscreen_program.h"

namespace {

// What the frame callback saw. The callback is a plain function, so the
// recording lives here; each test starts from a fresh one.
struct FrameRecord {
  std::vector<int> figures;                   // the figure handed to each frame, in order
  int stopAfter = 1;                          // the frame after which the callback posts quit
  std::function<void(int frame)> afterFrame;  // runs at the end of each frame
};
FrameRecord record;

int RecordFrame(int fps) {
  record.figures.push_back(fps);
  const int frame = static_cast<int>(record.figures.size());
  if (record.afterFrame) record.afterFrame(frame);
  if (frame == record.stopAfter) PlatformPostQuit(0);
  return fps;
}

class FrameLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOpenedProgram();
    record = FrameRecord();
    App.RenderingEnabled = true;
  }
  void TearDown() override { ResetProgram(); }
};

// --- Pacing ------------------------------------------------------------------

struct PacingCase {
  const char* name;
  int rate;                     // handed to SetFrameRate before the loop; 0 leaves it uncapped
  std::vector<uint32_t> ticks;  // every tick read, the loop entry's first
  std::vector<std::pair<int, int>> rateAfterFrame;  // (frame, rate): SetFrameRate between frames
  std::vector<int> figures;                         // what each frame is handed
};

std::ostream& operator<<(std::ostream& out, const PacingCase& c) { return out << c.name; }

// 59 frames well inside the first second, then one at 1010 ms.
PacingCase FiftyNineFramesInASecond() {
  PacingCase c{"uncapped_0_until_first_window_closes", 0, {0}, {}, {}};
  for (uint32_t i = 1; i <= 59; ++i) {
    c.ticks.push_back(16 * i);
    c.figures.push_back(0);
  }
  c.ticks.push_back(1010);
  c.figures.push_back(59 * 1000 / 1010);
  return c;
}

std::vector<PacingCase> PacingCases() {
  return {
      FiftyNineFramesInASecond(),
      // Measured from loop entry, not from tick 0. If the frame at exactly
      // 1000 ms closed the window, frame 2 would already show 1.
      {"uncapped_frame_at_1000_ms_is_counted",
       0,
       {5000, 5000, 6000, 6001},
       {},
       {0, 0, 2000 / 1001}},
      // The closing frame at 1001 starts the next window and is counted in
      // neither: the second window holds 2 frames (3 would give 2).
      {"uncapped_closing_frame_starts_next_window",
       0,
       {0, 0, 0, 0, 1001, 1500, 1600, 2002},
       {},
       {0, 0, 0, 3000 / 1001, 2, 2, 2000 / 1001}},
      // Interval 10: on time, late, and early (busy-waits, reading the tick
      // until 10 ms have passed).
      {"capped_interval_10", 100, {0, 10, 26, 35, 35, 35, 36}, {}, {100, 62, 100}},
      {"capped_tick_wrap", 100, {0xFFFFFF00u, 16}, {}, {1000 / 272}},
      // 1 ms interval: a second frame in the same tick waits for the next.
      {"rate_above_1000_two_frames_in_one_tick", 5000, {0, 0, 1, 1, 2}, {}, {1000, 1000}},
      // Switched on after two uncapped frames: measured from the window start
      // (entry, 0), then from the first capped frame (205).
      {"cap_switched_on_measures_from_window_start",
       0,
       {0, 100, 200, 205, 210, 215},
       {{2, 100}},
       {0, 0, 1000 / 205, 100}},
      // Three frames counted, one capped frame at 310, then uncapped again:
      // the counter goes on from 3 and the window runs from 310.
      {"cap_switched_off_resumes_frame_counter",
       0,
       {0, 100, 200, 300, 310, 400, 500, 1311},
       {{3, 100}, {4, 0}},
       {0, 0, 0, 1000 / 310, 3, 3, 5000 / 1001}},
  };
}

class PacingTest : public FrameLoopTest, public ::testing::WithParamInterface<PacingCase> {};

TEST_P(PacingTest, HandsEachFrameItsFigure) {
  const PacingCase& c = GetParam();
  if (c.rate != 0) SetFrameRate(c.rate);
  offscreen::Platform& platform = offscreen::Get();
  platform.tickScript.assign(c.ticks.begin(), c.ticks.end());
  platform.tickStep = 1;  // past the script the clock moves on, so a stray wait ends
  record.stopAfter = static_cast<int>(c.figures.size());
  record.afterFrame = [&c](int frame) {
    for (const auto& [after, rate] : c.rateAfterFrame) {
      if (after == frame) SetFrameRate(rate);
    }
  };

  EXPECT_EQ(RunFrameLoop(RecordFrame), 0);

  EXPECT_EQ(record.figures, c.figures);
  // Every scripted read was taken and no other: the wait reads exactly until
  // the interval has passed.
  EXPECT_EQ(platform.tickReads, static_cast<int>(c.ticks.size()));
}

INSTANTIATE_TEST_SUITE_P(Figures, PacingTest, ::testing::ValuesIn(PacingCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameLoopTest, NullCallbackStillPacesAndMeasures) {
  SetFrameRate(100);
  offscreen::Platform& platform = offscreen::Get();
  platform.tickScript = {0, 16};
  // Quit is posted at the frame's read, so the loop ends after that frame.
  platform.onTick = [&platform] {
    if (platform.tickReads == 2) PlatformPostQuit(5);
  };

  EXPECT_EQ(RunFrameLoop(nullptr), 5);

  EXPECT_EQ(App.CurrentFps, 62);
}

// --- Waiting for a capped frame ------------------------------------------------

// The tick each frame started at, read as the callback begins: the clock has
// moved on by its step (1 ms) since the read that started the frame.
std::vector<uint32_t> frameStarts;

int RecordFrameStart(int fps) {
  frameStarts.push_back(offscreen::Get().tick - 1);
  return RecordFrame(fps);
}

struct WaitCase {
  const char* name;
  int rate;
  uint32_t frameCost;  // ms of the clock that each frame takes
  std::vector<uint32_t> starts;
  std::vector<int> figures;
};

std::ostream& operator<<(std::ostream& out, const WaitCase& c) { return out << c.name; }

// A clock that moves 1 ms a read, as a wait that only spins would see it:
// such a wait lets a frame start exactly `interval` after the previous one,
// or at once when the previous frame ran late. Entry at 0.
const WaitCase kWaitCases[] = {
    {"rate_15_on_time", 15, 0, {66, 132, 198}, {15, 15, 15}},
    {"rate_15_frames_taking_20_ms", 15, 20, {66, 132, 198}, {15, 15, 15}},
    {"rate_100_frames_taking_3_ms", 100, 3, {10, 20, 30}, {100, 100, 100}},
    {"rate_105_on_time", 105, 0, {9, 18, 27}, {111, 111, 111}},
    // Late frames do not wait: each starts when the one before has ended.
    {"rate_100_frames_taking_25_ms", 100, 25, {10, 36, 62}, {100, 1000 / 26, 1000 / 26}},
};

class CappedWaitTest : public FrameLoopTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(CappedWaitTest, SleepsMostOfTheWaitAndStartsFramesWhenSpinningWould) {
  const WaitCase& c = GetParam();
  SetFrameRate(c.rate);
  offscreen::Platform& platform = offscreen::Get();
  platform.tickStep = 1;
  frameStarts.clear();
  record.stopAfter = static_cast<int>(c.starts.size());
  record.afterFrame = [&](int) { platform.tick += c.frameCost; };

  RunFrameLoop(RecordFrameStart);

  EXPECT_EQ(frameStarts, c.starts);
  EXPECT_EQ(record.figures, c.figures);
  // The wait slept until 2 ms before the frame was due and spun for the
  // rest: at most 4 reads of the clock a frame, after the loop entry's.
  EXPECT_LE(platform.tickReads, 1 + 4 * static_cast<int>(c.starts.size()));
}

INSTANTIATE_TEST_SUITE_P(Starts, CappedWaitTest, ::testing::ValuesIn(kWaitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameLoopTest, EventArrivingDuringTheWaitIsServedAtOnceAndTheFrameKeepsItsTime) {
  SetFrameRate(15);
  offscreen::Platform& platform = offscreen::Get();
  platform.tickStep = 1;
  frameStarts.clear();
  std::vector<uint32_t> eventTicks;
  // The first sleep is cut short by an event that arrives 30 ms into it.
  platform.onWait = [&] {
    if (platform.timedWaits.size() != 1) return;
    platform.tick += 30;
    platform.events.Push([&] { eventTicks.push_back(platform.tick); });
  };

  RunFrameLoop(RecordFrameStart);

  // Entry at 0, the frame's first read at 1, the sleep from 2, the event at
  // 32 (not after the frame, as while a wait spun), the frame at 66.
  EXPECT_EQ(eventTicks, std::vector<uint32_t>{32});
  EXPECT_EQ(frameStarts, std::vector<uint32_t>{66});
  EXPECT_EQ(record.figures, std::vector<int>{15});
}

// --- Gentle pacing ---------------------------------------------------------------

TEST_F(FrameLoopTest, GentleUncappedFramesTakeSixtyRefreshSlotsASecond) {
  App.Gentle = GentlePacing{true, false};
  offscreen::Platform& platform = offscreen::Get();
  platform.tickStep = 1;
  frameStarts.clear();
  record.stopAfter = 122;

  RunFrameLoop(RecordFrameStart);

  // Slots of 16, 17 and 17 ms: 60 frames a second, on the same ticks every second.
  const std::vector<uint32_t> firstFour(frameStarts.begin(), frameStarts.begin() + 4);
  EXPECT_EQ(firstFour, (std::vector<uint32_t>{16, 33, 50, 66}));
  EXPECT_EQ(frameStarts[59], 1000u);
  EXPECT_EQ(frameStarts[119], 2000u);
  // The figure is counted as uncapped frames always are: the frame at 1016
  // closes the first window of 60 frames.
  EXPECT_EQ(record.figures[60], 60 * 1000 / 1016);
}

TEST_F(FrameLoopTest, GentleUncappedFramesRunBackToBackWhenSwapsFollowTheRefresh) {
  App.Gentle = GentlePacing{true, true};
  offscreen::Platform& platform = offscreen::Get();
  platform.tickStep = 1;
  frameStarts.clear();
  record.stopAfter = 3;

  RunFrameLoop(RecordFrameStart);

  EXPECT_EQ(frameStarts, (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_TRUE(platform.timedWaits.empty());
}

// Swaps that were asked to wait for the refresh but return at once (software
// GL under Wine): after a run of frames too fast for the refresh, the loop
// paces them itself; swaps that do wait (a frame every 16 or 17 ms) never
// get a timed wait.
TEST_F(FrameLoopTest, GentleLoopPacesFramesItselfOnceSwapsProveNotToWait) {
  struct Case {
    const char* what;
    uint32_t frameMs;  // the time each frame takes, its swap included
    bool paced;
  };
  for (const Case& c : {Case{"swaps that return at once", 0, true},
                        Case{"swaps that wait for a 60 Hz refresh", 16, false}}) {
    SCOPED_TRACE(c.what);
    ResetOpenedProgram();
    record = FrameRecord();
    frameStarts.clear();
    App.RenderingEnabled = true;
    App.Gentle = GentlePacing{true, true};
    offscreen::Platform& platform = offscreen::Get();
    platform.tickStep = 1;
    record.stopAfter = 40;
    record.afterFrame = [&platform, &c](int) { platform.tick += c.frameMs; };

    RunFrameLoop(RecordFrameStart);

    EXPECT_EQ(!platform.timedWaits.empty(), c.paced);
    // Paced: the last frames start a refresh slot apart, not back to back.
    const uint32_t lastGap = frameStarts[39] - frameStarts[38];
    EXPECT_GE(lastGap, 16u);
  }
}

TEST_F(FrameLoopTest, GentleLoopBlocksWhileTheWindowIsOffScreenAndMeasuresAfresh) {
  struct Case {
    bool gentle;
    int waits;
    std::vector<uint32_t> starts;
    std::vector<int> figures;
  };
  // Off screen from the start; the loop wakes at 5000 to the event that shows
  // the window again, and measures the cap from there.
  const Case cases[] = {
      {false, 0, {10, 20}, {100, 100}},
      {true, 1, {5000 + 10, 5000 + 20}, {100, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gentle ? "gentle" : "not gentle");
    ResetOpenedProgram();
    record = FrameRecord();
    frameStarts.clear();
    App.RenderingEnabled = true;
    App.Gentle.on = c.gentle;
    SetFrameRate(100);
    offscreen::Platform& platform = offscreen::Get();
    platform.tickStep = 1;
    platform.onScreen = false;
    platform.onWait = [&platform] {
      if (platform.waits != 1 || !platform.timedWaits.empty()) return;
      platform.tick = 5000;
      platform.events.Push([&platform] { platform.onScreen = true; });
    };
    record.stopAfter = 2;

    RunFrameLoop(RecordFrameStart);

    EXPECT_EQ(platform.waits, c.waits);
    EXPECT_EQ(frameStarts, c.starts);
    EXPECT_EQ(record.figures, c.figures);
  }
}

// --- Driven once per display refresh --------------------------------------------

// The browser's way of running the loop: at each refresh of a 60 Hz display
// a frame runs only when FrameDue says so, and a capped frame then never
// waits. Each frame is due at its own time in the cap's schedule, not an
// interval after the refresh that ran the previous one: a cap of 45 runs
// six frames in eight refreshes, not four. Caps above the refresh rate draw
// at every refresh.
TEST_F(FrameLoopTest, RefreshDrivenLoopRunsAFrameOnlyWhenDue) {
  struct Case {
    int rate;
    std::vector<int> framesAt;  // the refreshes, 1 to 8, that ran a frame
  };
  const Case cases[] = {
      {0, {1, 2, 3, 4, 5, 6, 7, 8}},
      {100, {1, 2, 3, 4, 5, 6, 7, 8}},
      {45, {2, 3, 4, 6, 7, 8}},
      {30, {2, 4, 6, 8}},
      {15, {4, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "rate " << c.rate);
    record = FrameRecord();
    record.stopAfter = 0;  // no quit: nothing serves events here
    SetFrameRate(c.rate);
    offscreen::Platform& platform = offscreen::Get();
    platform.tick = 0;
    // A frame that waited would read the clock more than twice (FrameDue's
    // read and the frame's): the clock then jumps, and the frames show it.
    int readsThisRefresh = 0;
    platform.onTick = [&] {
      if (++readsThisRefresh > 2) platform.tick += 1000;
    };
    FrameLoop loop(RecordFrame, FrameScheduling::RefreshDriven);
    std::vector<int> framesAt;

    for (int refresh = 1; refresh <= 8; ++refresh) {
      platform.tick = static_cast<uint32_t>(refresh * 1000 / 60);
      readsThisRefresh = 0;
      if (!loop.FrameDue()) continue;
      loop.RunFrame();
      framesAt.push_back(refresh);
    }

    EXPECT_EQ(framesAt, c.framesAt);
    platform.onTick = nullptr;
  }
}

// Every speed setting (15 to 105, as Up and Down step it) at the common
// refresh rates, on a clock of whole milliseconds: over ten seconds the
// frames average the setting within 3 % wherever the display is faster, and
// the refresh rate elsewhere; the last figure handed says the same.
TEST_F(FrameLoopTest, RefreshDrivenCapsAverageTheirRateAtAnyRefreshRate) {
  constexpr int kSeconds = 10;
  for (const int hz : {60, 120, 144}) {
    for (int setting = 15; setting <= 105; setting += 5) {
      SCOPED_TRACE(::testing::Message() << setting << " at " << hz << " Hz");
      record = FrameRecord();
      record.stopAfter = 0;
      SetFrameRate(setting);
      offscreen::Platform& platform = offscreen::Get();
      platform.tick = 0;
      FrameLoop loop(RecordFrame, FrameScheduling::RefreshDriven);
      for (int refresh = 1; refresh <= kSeconds * hz; ++refresh) {
        platform.tick = static_cast<uint32_t>(refresh * 1000 / hz);
        if (loop.FrameDue()) loop.RunFrame();
      }
      const double expected = setting < hz ? setting : hz;
      const double average = static_cast<double>(record.figures.size()) / kSeconds;
      EXPECT_NEAR(average, expected, expected * 0.03);
      ASSERT_FALSE(record.figures.empty());
      EXPECT_NEAR(record.figures.back(), expected, expected * 0.03);
    }
  }
}

// A stall (a tab in the background, a slow frame) puts the next frame late:
// it runs at once, and the schedule starts again from it rather than
// running the missed frames back to back.
TEST_F(FrameLoopTest, RefreshDrivenCapDoesNotCatchUpAfterAStall) {
  record.stopAfter = 0;
  SetFrameRate(50);
  offscreen::Platform& platform = offscreen::Get();
  platform.tick = 0;
  FrameLoop loop(RecordFrame, FrameScheduling::RefreshDriven);
  std::vector<uint32_t> frameTicks;
  for (const uint32_t tick : {20u, 40u, 500u, 516u, 520u, 533u, 540u, 550u, 560u}) {
    platform.tick = tick;
    if (!loop.FrameDue()) continue;
    loop.RunFrame();
    frameTicks.push_back(tick);
  }
  EXPECT_EQ(frameTicks, (std::vector<uint32_t>{20, 40, 500, 520, 540, 560}));
}

// --- SetFrameRate --------------------------------------------------------------

TEST_F(FrameLoopTest, SetFrameRateSetsCapAndInterval) {
  struct Case {
    int rate;
    int capped;
    uint32_t interval;
  };
  constexpr uint32_t kOldInterval = 42;
  const Case cases[] = {
      {95, 1, 10},
      {100, 1, 10},
      {105, 1, 9},
      {15, 1, 66},
      {1000, 1, 1},
      {1001, 1, 1},
      {5000, 1, 1},
      {INT_MAX, 1, 1},
      {0, 0, kOldInterval},
      {-1, 0, kOldInterval},
      {INT_MIN, 0, kOldInterval},
  };
  for (const Case& c : cases) {
    for (const int wasCapped : {0, 1}) {
      SCOPED_TRACE(::testing::Message() << "rate " << c.rate << ", capped before " << wasCapped);
      App.FrameRateCapped = wasCapped;
      App.FrameIntervalMs = kOldInterval;

      SetFrameRate(c.rate);

      EXPECT_EQ(App.FrameRateCapped, c.capped);
      EXPECT_EQ(App.FrameIntervalMs, c.interval);
    }
  }
}

// --- Events and frames ---------------------------------------------------------

TEST_F(FrameLoopTest, DispatchesAllPendingEventsBeforeEachFrame) {
  SetFrameRate(100);
  offscreen::Platform& platform = offscreen::Get();
  std::vector<std::string> order;
  // An event that takes `ms` of the clock; that time counts toward the interval.
  const auto slowEvent = [&platform, &order](uint32_t ms) {
    return [&platform, &order, ms] {
      order.push_back("event");
      platform.tick += ms;
    };
  };
  platform.tickStep = 1;  // each read takes 1 ms too
  for (int i = 0; i < 3; ++i) platform.events.Push(slowEvent(4));
  record.stopAfter = 2;
  record.afterFrame = [&](int frame) {
    order.push_back("frame");
    if (frame == 1) platform.events.Push(slowEvent(10));
  };

  RunFrameLoop(RecordFrame);

  EXPECT_EQ(order,
            (std::vector<std::string>{"event", "event", "event", "frame", "event", "frame"}));
  // Entry at 0; 12 ms of events; the frame at 13. Then 10 ms of event: the
  // next frame at 24. The events used up the interval: neither frame waited.
  EXPECT_EQ(record.figures, (std::vector<int>{1000 / 13, 1000 / 11}));
  EXPECT_EQ(platform.tickReads, 3);
}

TEST_F(FrameLoopTest, QuitEndsLoopWithItsCodeAndLeavesLaterEvents) {
  offscreen::Platform& platform = offscreen::Get();
  std::vector<std::string> handled;
  platform.events.Push([&handled] { handled.push_back("before quit"); });
  PlatformPostQuit(7);
  platform.events.Push([&handled] { handled.push_back("behind quit"); });

  EXPECT_EQ(RunFrameLoop(RecordFrame), 7);

  EXPECT_EQ(handled, std::vector<std::string>{"before quit"});
  EXPECT_EQ(platform.events.size(), 1u);
  EXPECT_TRUE(record.figures.empty());
}

TEST_F(FrameLoopTest, WaitsForEventsWhileRenderingIsDisabled) {
  App.RenderingEnabled = false;
  offscreen::Platform& platform = offscreen::Get();
  int handled = 0;
  for (int i = 0; i < 2; ++i) platform.events.Push([&handled] { ++handled; });

  // The offscreen backend's wait posts quit 99 once nothing is left to wait for.
  EXPECT_EQ(RunFrameLoop(RecordFrame), 99);

  EXPECT_EQ(handled, 2);
  EXPECT_EQ(platform.waits, 1);
  EXPECT_TRUE(record.figures.empty());
  EXPECT_EQ(platform.tickReads, 1);  // the loop entry's only
}

}  // namespace
