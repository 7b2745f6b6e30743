// The window procedure against the offscreen platform: the command table (each
// key and its menu item doing the same), the speed steps and their bounds,
// window messages, the menu bar, and the About box stopping the frames.
#include "ui/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "explorer/maze_generator.h"
#include "shell/app/frame_loop.h"
#include "shell/main/application.h"
#include "shell/platform/gl.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "tests/explorer_fixtures.h"
#include "tests/offscreen_program.h"
#include "ui/frame.h"
#include "ui/maze_editing.h"

namespace {

using explorer_test::Grid;
using explorer_test::GridOf;
using explorer_test::ScratchDir;
using explorer_test::WallsWith;

const char kAboutText[] = "迷宫搜索Demo\n 用OpenGL加速\n\n   Orlanvey 2002-5-18";
const char kAboutCaption[] = "迷宫搜索Demo";

// Everything a command may change.
struct Effects {
  Grid grid;
  Pose pose;
  int32_t state;
  int32_t paused;
  size_t pathSize;
  int speedSetting;
  bool frameRateCapped;
  uint32_t frameIntervalMs;
  bool windowExists;
  std::optional<int> quit;  // the exit code of the quit event queued, if any
  std::vector<std::pair<std::string, std::string>> shown;  // (text, caption) of boxes shown
};

Effects CaptureEffects() {
  const offscreen::Platform& platform = offscreen::Get();
  Effects effects{GridOf(App.Explorer),
                  App.Explorer.pose,
                  App.Explorer.state,
                  App.Explorer.paused,
                  App.Explorer.path.size(),
                  App.SpeedSetting,
                  App.FrameRateCapped,
                  App.FrameIntervalMs,
                  platform.windowExists,
                  platform.events.PostedQuit(),
                  {}};
  for (const offscreen::ShownMessage& box : platform.messages) {
    effects.shown.emplace_back(box.text, box.caption);
  }
  return effects;
}

void ExpectEffects(const Effects& expected, const Effects& actual) {
  EXPECT_EQ(actual.grid, expected.grid);
  EXPECT_EQ(actual.pose, expected.pose);
  EXPECT_EQ(actual.state, expected.state);
  EXPECT_EQ(actual.paused, expected.paused);
  EXPECT_EQ(actual.pathSize, expected.pathSize);
  EXPECT_EQ(actual.speedSetting, expected.speedSetting);
  EXPECT_EQ(actual.frameRateCapped, expected.frameRateCapped);
  EXPECT_EQ(actual.frameIntervalMs, expected.frameIntervalMs);
  EXPECT_EQ(actual.windowExists, expected.windowExists);
  EXPECT_EQ(actual.quit, expected.quit);
  EXPECT_EQ(actual.shown, expected.shown);
}

// The grid in the map file that Start reloads, and the different one the
// explorer is searching when the command arrives.
const Grid kMapOnDisk = WallsWith({{0, 0, Open}, {1, 0, Open}, {2, 0, Exit}});
const Grid kGridInMemory = WallsWith({{0, 0, Trail}, {0, 1, Trail}, {0, 2, Open}});

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mapFile_ = dir_.Write("maze.txt", explorer_test::MapText(kMapOnDisk));
    ResetWithWindow();
  }
  void TearDown() override { ResetProgram(); }

  std::string ReadMapFile() const {
    std::ifstream file(mapFile_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  // The program's start state, with the window open and the map file above.
  void ResetWithWindow() {
    ResetOpenedProgram();
    offscreen::Get().windowExists = true;
    App.MapFileName = mapFile_.c_str();
  }

  // Mid-search, two cells in, at a speed of 50 (20 ms between frames).
  void ArrangeMidSearch(bool paused) {
    explorer_test::SetGrid(App.Explorer, kGridInMemory);
    App.Explorer.path.push(Pose{0, 0, 1, 90, 0});
    App.Explorer.path.push(Pose{0, 1, 1, 90, 0});
    App.Explorer.pose = Pose{0, 1, 1, 90, 12};
    App.Explorer.state = Advancing;
    App.Explorer.SetPaused(paused);
    App.SpeedSetting = 50;
    SetFrameRate(50);
  }

 private:
  ScratchDir dir_;
  std::string mapFile_;
};

// --- The command table -----------------------------------------------------------

struct CommandCase {
  const char* name;
  uint32_t key;
  uint32_t menuId;
  bool startsPaused;
  void (*change)(Effects&);  // what the command does to the mid-search state
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) { return out << c.name; }

const CommandCase kCommandCases[] = {
    {"Start", KeyReturn, IDM_START, true,
     [](Effects& e) {
       e.grid = kMapOnDisk;
       e.pose = Pose{};
       e.state = Choosing;
       e.pathSize = 1;
       e.paused = 0;
     }},
    {"Pause", KeyShift, IDM_PAUSE, false, [](Effects& e) { e.paused = 1; }},
    {"Resume", KeyControl, IDM_RESUME, true, [](Effects& e) { e.paused = 0; }},
    {"Exit", KeyEscape, IDM_EXIT, false,
     [](Effects& e) {
       e.windowExists = false;
       e.quit = 0;
     }},
    {"About", KeyF1, IDM_ABOUT, false,
     [](Effects& e) {
       e.shown = {{kAboutText, kAboutCaption}};
     }},
    {"SpeedUp", KeyUp, IDM_SPEEDUP, false,
     [](Effects& e) {
       e.speedSetting = 55;
       e.frameIntervalMs = 1000 / 55;
     }},
    {"SpeedDown", KeyDown, IDM_SPEEDDOWN, false,
     [](Effects& e) {
       e.speedSetting = 45;
       e.frameIntervalMs = 1000 / 45;
     }},
    {"FullSpeed", KeyEnd, IDM_FULLSPEED, false,
     [](Effects& e) {
       e.speedSetting = 100;
       e.frameRateCapped = false;  // the interval is kept
     }},
};

class CommandTableTest : public CommandsTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandTableTest, KeyAndMenuItemDoTheSame) {
  const CommandCase& c = GetParam();
  const WindowMessage routes[] = {{MessageKind::KeyDown, c.key}, {MessageKind::Command, c.menuId}};
  for (const WindowMessage& message : routes) {
    SCOPED_TRACE(message.kind == MessageKind::KeyDown ? "by key" : "by menu");
    ResetWithWindow();
    ArrangeMidSearch(c.startsPaused);
    Effects expected = CaptureEffects();
    c.change(expected);

    EXPECT_EQ(MainWindowProc(message), 1);

    ExpectEffects(expected, CaptureEffects());
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandTableTest, ::testing::ValuesIn(kCommandCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandsTest, UnlistedKeysAndMenuIdsDoNothing) {
  const WindowMessage messages[] = {
      {MessageKind::KeyDown, 65},                  // the letter A
      {MessageKind::KeyDown, IDM_START},           // a menu id is no key
      {MessageKind::Command, 40009},               // no such item
      {MessageKind::Command, KeyReturn},           // a key code is no menu id
      {MessageKind::Command, 0x10000 | IDM_EXIT},  // a notification code in the high half
  };
  ArrangeMidSearch(false);
  const Effects before = CaptureEffects();
  for (const WindowMessage& message : messages) {
    SCOPED_TRACE(::testing::Message() << "param " << message.param);
    EXPECT_EQ(MainWindowProc(message), 1);
    ExpectEffects(before, CaptureEffects());
  }
}

// --- Window messages -------------------------------------------------------------

TEST_F(CommandsTest, CloseAndDestroyPostQuitWithCodeZero) {
  struct Case {
    MessageKind kind;
    bool windowRemains;
  };
  for (const Case& c : {Case{MessageKind::Close, false}, Case{MessageKind::Destroy, true}}) {
    SCOPED_TRACE(c.kind == MessageKind::Close ? "Close" : "Destroy");
    ResetWithWindow();
    offscreen::Platform& platform = offscreen::Get();

    EXPECT_EQ(MainWindowProc(WindowMessage{c.kind, 0}), 1);

    EXPECT_EQ(platform.windowExists, c.windowRemains);
    EXPECT_EQ(platform.events.PostedQuit(), std::optional<int>(0));
  }
}

TEST_F(CommandsTest, CreateAndSizeFitTheViewport) {
  offscreen::Platform& platform = offscreen::Get();
  ASSERT_TRUE(PlatformCreateContext());
  for (const MessageKind kind : {MessageKind::Create, MessageKind::Size}) {
    platform.clientWidth = 800;
    platform.clientHeight = 600;
    EXPECT_EQ(MainWindowProc(WindowMessage{kind, 0}), 1);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{100, 0, 600, 600}));
    glViewport(0, 0, 1, 1);
  }
}

// --- Speed -----------------------------------------------------------------------

struct Press {
  uint32_t key;
  int setting;  // SpeedSetting after the press
  int capped;
  uint32_t interval;
};

struct SpeedCase {
  const char* name;
  std::vector<Press> presses;  // from the program's start: 100, uncapped
};

SpeedCase DownToTheBottom() {
  SpeedCase c{"down_18_times_stops_at_15", {}};
  for (int setting = 95; setting >= 15; setting -= 5) {
    c.presses.push_back({KeyDown, setting, 1, static_cast<uint32_t>(1000 / setting)});
  }
  c.presses.push_back({KeyDown, 15, 1, 66});
  return c;
}

TEST_F(CommandsTest, SpeedKeysStepTheSettingAndSetTheCap) {
  const SpeedCase cases[] = {
      {"up_3_times_stops_at_105", {{KeyUp, 105, 1, 9}, {KeyUp, 105, 1, 9}, {KeyUp, 105, 1, 9}}},
      DownToTheBottom(),
      {"end_then_up", {{KeyEnd, 100, 0, 0}, {KeyUp, 105, 1, 9}}},
      {"end_then_down", {{KeyEnd, 100, 0, 0}, {KeyDown, 95, 1, 10}}},
      {"down_then_end_keeps_interval", {{KeyDown, 95, 1, 10}, {KeyEnd, 100, 0, 10}}},
  };
  for (const SpeedCase& c : cases) {
    ResetWithWindow();
    for (size_t i = 0; i < c.presses.size(); ++i) {
      const Press& press = c.presses[i];
      SCOPED_TRACE(::testing::Message() << c.name << ", press " << i + 1);
      MainWindowProc(WindowMessage{MessageKind::KeyDown, press.key});
      EXPECT_EQ(App.SpeedSetting, press.setting);
      EXPECT_EQ(App.FrameRateCapped, press.capped);
      EXPECT_EQ(App.FrameIntervalMs, press.interval);
    }
  }
}

// A press that cannot step any further still switches the cap back on.
TEST_F(CommandsTest, SpeedKeyAtItsBoundReappliesTheCap) {
  for (const auto& [key, bound] : {std::pair{KeyUp, 105}, std::pair{KeyDown, 15}}) {
    SCOPED_TRACE(::testing::Message() << "key " << key);
    App.SpeedSetting = bound;
    App.FrameRateCapped = false;
    App.FrameIntervalMs = 0;

    MainWindowProc(WindowMessage{MessageKind::KeyDown, key});

    EXPECT_EQ(App.SpeedSetting, bound);
    EXPECT_TRUE(App.FrameRateCapped);
    EXPECT_EQ(App.FrameIntervalMs, static_cast<uint32_t>(1000 / bound));
  }
}

// --- Menu bar and About box ------------------------------------------------------

TEST(MainMenuTest, EightItemsInMenuOrder) {
  const std::pair<uint32_t, const char*> expected[] = {
      {40001, "开始"}, {40002, "暂停"}, {40004, "继续"}, {40006, "加速"},
      {40007, "减速"}, {40005, "关于"}, {40003, "退出"}, {40008, "全速"},
  };
  ASSERT_EQ(kMenuItemCount, 8);
  for (int i = 0; i < kMenuItemCount; ++i) {
    SCOPED_TRACE(::testing::Message() << "item " << i + 1);
    EXPECT_EQ(MainMenu[i].id, expected[i].first);
    EXPECT_STREQ(MainMenu[i].caption, expected[i].second);
  }
}

// The offscreen backend's box is synchronous: it is open while onMessage runs. There the
// test plays the box's modal loop, which (as on Windows) still dispatches the
// window's messages, a resize among them, while no frame may run.
TEST_F(CommandsTest, NoFrameRunsWhileTheAboutBoxIsOpen) {
  offscreen::Platform& platform = offscreen::Get();
  ASSERT_TRUE(PlatformCreateContext());
  ArrangeMidSearch(false);
  SetFrameRate(0);
  platform.onSwap = [&platform] {
    if (platform.swaps == 2) offscreen::QueueMessage(MessageKind::KeyDown, KeyF1);
    if (platform.swaps >= 3) PlatformPostQuit(0);
  };
  int swapsAtOpen = -1;
  int swapsAtClose = -1;
  Pose poseAtOpen{};
  GLint viewport[4] = {};
  platform.onMessage = [&] {
    swapsAtOpen = platform.swaps;
    poseAtOpen = App.Explorer.pose;
    glViewport(0, 0, 1, 1);
    offscreen::QueueMessage(MessageKind::Size);
    int exitCode = 0;
    PlatformDispatchEvent(&exitCode);
    glGetIntegerv(GL_VIEWPORT, viewport);
    swapsAtClose = platform.swaps;
    EXPECT_EQ(App.Explorer.pose, poseAtOpen) << "the explorer moved while the box was open";
  };
  App.RenderingEnabled = true;

  RunFrameLoop(DrawFrame);

  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 360, 360}))
      << "the resize did not reach the window while the box was open";
  EXPECT_EQ(swapsAtOpen, 2);
  EXPECT_EQ(swapsAtClose, 2);
  EXPECT_EQ(platform.swaps, 3);
  EXPECT_FALSE(App.Explorer.pose == poseAtOpen)
      << "the frame after the box did not step the explorer";
}

// --- Stepping and going back to the start ------------------------------------

// Space through the frame loop, capped at 50 frames a second on the fake
// clock: the first Space starts the search and holds it after its first
// probe (east, blocked), the second runs the quarter turn at the cap and
// holds after the probe north; held frames keep saying the decision.
TEST_F(CommandsTest, SpaceStepsFromDecisionToDecisionAtTheSpeedCap) {
  offscreen::Platform& platform = offscreen::Get();
  ASSERT_TRUE(PlatformCreateContext());
  explorer_test::SetGrid(App.Explorer, WallsWith({{0, 0, Open}, {0, 1, Exit}}));
  App.Explorer.editMode = true;
  App.MapFileName = "";  // a missing map file: the grid stays, the explorer waits at start
  LoadMapFile();
  SetFrameRate(50);
  platform.tickStep = 1;
  struct Shown {
    std::string message;
    int32_t paused;
    uint32_t tick;
  };
  std::vector<Shown> frames;
  platform.onSwap = [&] {
    frames.push_back({App.Explorer.message, App.Explorer.paused, platform.tick});
    if (platform.swaps == 3 || platform.swaps == 3 + 19 + 2) {
      offscreen::QueueMessage(MessageKind::KeyDown, KeySpace);
    }
    if (platform.swaps == 3 + 19 + 3) PlatformPostQuit(0);
  };
  offscreen::QueueMessage(MessageKind::KeyDown, KeySpace);
  App.RenderingEnabled = true;

  RunFrameLoop(DrawFrame);

  ASSERT_EQ(frames.size(), 25u);
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "frame " << i + 1);
    // Running after frames 4 to 21 (the turn) and 25; held after the others.
    const bool running = (i >= 3 && i < 21) || i == 24;
    EXPECT_EQ(frames[i].paused, running ? 0 : 1);
    // The turn is counter-clockwise and says nothing: the first decision
    // stays on the status line until the second.
    EXPECT_EQ(frames[i].message,
              i < 21 ? explorer_test::kSaysNextHeading : explorer_test::kSaysCanMove);
    if (i > 0) {
      EXPECT_EQ(frames[i].tick - frames[i - 1].tick, 20u) << "frames not at the cap";
    }
  }
  // The third Space, at frame 24, runs the move's first tick in frame 25.
  EXPECT_EQ(App.Explorer.state, Advancing);
  EXPECT_EQ(App.Explorer.pose.progress, 2);
}

// At speed 15, Space pressed three times in a row while the search runs:
// the first holds it at its next decision, the two pressed while that step
// still runs each pass one more, so the search holds at the third decision
// from the presses, having run every tick in between.
TEST_F(CommandsTest, ThreeQuickSpacesDuringARunGiveThreeStepsAtSpeed15) {
  offscreen::Platform& platform = offscreen::Get();
  ASSERT_TRUE(PlatformCreateContext());
  // The square: decisions in ticks 1 (east, open), 32 (east, wall), 51
  // (north, open) and 100 (east of the cell entered, a wall).
  explorer_test::SetGrid(App.Explorer,
                         WallsWith({{0, 0, Open}, {1, 0, Open}, {1, 1, Open}, {0, 1, Open}}));
  App.Explorer.editMode = true;
  App.MapFileName = "";  // a missing map file: Return keeps the grid
  LoadMapFile();
  for (int press = 0; press < 17; ++press) MainWindowProc({MessageKind::KeyDown, KeyDown});
  ASSERT_EQ(App.SpeedSetting, 15);
  platform.tickStep = 1;
  int firstHeldFrame = 0;
  int heldFrames = 0;
  platform.onSwap = [&] {
    if (App.Explorer.held && firstHeldFrame == 0) firstHeldFrame = platform.swaps;
    if (platform.swaps >= 5 && platform.swaps <= 7) {
      offscreen::QueueMessage(MessageKind::KeyDown, KeySpace);
    }
    if (App.Explorer.held && ++heldFrames == 3) PlatformPostQuit(0);
  };
  offscreen::QueueMessage(MessageKind::KeyDown, KeyReturn);
  App.RenderingEnabled = true;

  RunFrameLoop(DrawFrame);

  EXPECT_EQ(firstHeldFrame, 100) << "one tick a frame, held only at the end";
  EXPECT_EQ(App.Explorer.pose, (Pose{1, 1, 1, 0, 0}));
  EXPECT_STREQ(App.Explorer.message, explorer_test::kSaysNextHeading);
  EXPECT_EQ(App.Explorer.state, Choosing);
}

// N without --edit: a new maze of the seed the status line names, which
// Return runs and Backspace goes back to; the map file is left alone.
TEST_F(CommandsTest, NewMazeLivesInMemoryWithoutEditModeAndStartRunsIt) {
  ArrangeMidSearch(false);
  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyN});

  EXPECT_FALSE(App.Explorer.Tick());
  const std::string note = App.Explorer.message;
  const std::string prefix = "New maze, seed ";
  ASSERT_EQ(note.rfind(prefix, 0), 0u) << note;
  const uint64_t seed = std::stoull(note.substr(prefix.size()));
  EXPECT_LE(seed, kLargestSeed);
  EXPECT_EQ(note, prefix + std::to_string(seed)) << "the seed, whole";
  int32_t maze[kCellCount];
  ASSERT_TRUE(GenerateMaze(MazeRequest{seed, 1, 0}, maze));
  Grid expected;
  std::copy(std::begin(maze), std::end(maze), expected.begin());
  EXPECT_EQ(GridOf(App.Explorer), expected);
  EXPECT_EQ(App.Explorer.pose, Pose{});
  EXPECT_EQ(App.Explorer.paused, 1);

  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyReturn});
  EXPECT_EQ(GridOf(App.Explorer), expected);
  EXPECT_EQ(App.Explorer.paused, 0);
  for (int tick = 0; tick < 100; ++tick) App.Explorer.Tick();
  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyBackspace});
  EXPECT_EQ(GridOf(App.Explorer), expected);
  EXPECT_FALSE(App.Explorer.Tick());
  EXPECT_STREQ(App.Explorer.message, explorer_test::kSaysRest);
  EXPECT_EQ(ReadMapFile(), explorer_test::MapText(kMapOnDisk));
}

// Backspace reloads the map file and waits at start, paused, from anywhere in
// a search; with --edit the status line asks for clicks again. A file that
// cannot be read leaves the grid as it was.
TEST_F(CommandsTest, BackspaceReloadsTheMapAndWaitsAtStartFromAnyPoint) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
  };
  const Case cases[] = {
      {"running", [this] { ArrangeMidSearch(false); }},
      {"paused", [this] { ArrangeMidSearch(true); }},
      {"held after a step",
       [this] {
         ArrangeMidSearch(true);
         App.Explorer.StepToNextDecision();
         while (App.Explorer.Tick()) {
         }
       }},
      {"over",
       [this] {
         ArrangeMidSearch(false);
         App.Explorer.state = FoundExit;
       }},
  };
  for (const Case& c : cases) {
    for (const bool edit : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.name << (edit ? ", --edit" : ""));
      ResetWithWindow();
      c.arrange();
      App.Explorer.editMode = edit;

      EXPECT_EQ(MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyBackspace}), 1);

      EXPECT_EQ(GridOf(App.Explorer), kMapOnDisk);
      EXPECT_EQ(App.Explorer.pose, Pose{});
      EXPECT_EQ(App.Explorer.state, Choosing);
      EXPECT_EQ(App.Explorer.path.size(), 1u);
      EXPECT_FALSE(App.Explorer.Tick());
      EXPECT_STREQ(App.Explorer.message, edit ? kEditMessage : explorer_test::kSaysRest);
      EXPECT_TRUE(App.Explorer.IsWaitingAtStart());
    }
  }

  ResetWithWindow();
  ArrangeMidSearch(false);
  App.MapFileName = "no such map.txt";
  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyBackspace});
  EXPECT_EQ(GridOf(App.Explorer), kGridInMemory);
  EXPECT_EQ(App.Explorer.pose, Pose{});
  EXPECT_EQ(App.Explorer.paused, 1);
}

}  // namespace
