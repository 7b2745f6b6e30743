// The search frame by frame: turns, probes, moves, backing out, pausing and
// the end states, checked against exact frame numbers and whole-run invariants.
#include "explorer/maze_explorer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tests/explorer_fixtures.h"

namespace {

using explorer_test::FilledGrid;
using explorer_test::Frame;
using explorer_test::Grid;
using explorer_test::GridOf;
using explorer_test::Index;
using explorer_test::kSaysCanMove;
using explorer_test::kSaysFoundExit;
using explorer_test::kSaysGoBack;
using explorer_test::kSaysNextHeading;
using explorer_test::kSaysNoExit;
using explorer_test::kSaysRest;
using explorer_test::kSaysTurnRight;
using explorer_test::ScratchDir;
using explorer_test::SearchRecorder;
using explorer_test::Snapshot;
using explorer_test::TakeSnapshot;
using explorer_test::WallsWith;

// Far more frames than any search of a 10 x 10 grid needs.
constexpr int kFrameLimit = 200000;

// Row 0 open from column 0 to 8, an exit at column 9.
Grid CorridorToExit() {
  Grid grid = FilledGrid(Wall);
  for (int x = 0; x < 9; ++x) grid[Index(x, 0)] = Open;
  grid[Index(9, 0)] = Exit;
  return grid;
}

// A square of four open cells: entered east, north, west, then south back
// into the start cell.
const Grid kSquare = WallsWith({{0, 0, Open}, {1, 0, Open}, {1, 1, Open}, {0, 1, Open}});

class SearchTest : public ::testing::Test {
 protected:
  void Start(const Grid& grid) {
    explorer_test::LoadGrid(explorer, dir, grid);
    explorer.SetPaused(false);
  }

  ScratchDir dir;
  MazeExplorer explorer;
  SearchRecorder search{explorer};
};

// --- How each search ends ----------------------------------------------------

struct EndCase {
  const char* name;
  Grid grid;
  ExplorerState endState;
  int endFrame;
  Pose endPose;
  size_t pathSize;
};

void PrintTo(const EndCase& c, std::ostream* out) { *out << c.name; }

const Pose kFacingSouthOnStart{0, 0, 3, 270, 0};

const EndCase kEndCases[] = {
    {"AllWalls", FilledGrid(Wall), NoExit, 58, kFacingSouthOnStart, 0},
    {"ExitNorthOfStart",
     WallsWith({{0, 0, Open}, {0, 1, Exit}}),
     FoundExit,
     50,
     {0, 1, 0, 90, 0},
     2},
    {"AllOpen", FilledGrid(Open), NoExit, 21670, kFacingSouthOnStart, 0},
    {"CorridorToExit", CorridorToExit(), FoundExit, 279, {9, 0, 0, 0, 0}, 10},
    {"TwoOpenCells", WallsWith({{0, 0, Open}, {1, 0, Open}}), NoExit, 442, kFacingSouthOnStart, 0},
    {"ExitOnStartReenteredFromEast",
     WallsWith({{0, 0, Exit}, {1, 0, Open}}),
     FoundExit,
     100,
     {0, 0, 0, 180, 0},
     3},
    {"ExitOnStartAlone", WallsWith({{0, 0, Exit}}), NoExit, 58, kFacingSouthOnStart, 0},
};

class SearchEndTest : public SearchTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(SearchEndTest, EndsInExpectedFrameThenRepeatsItsMessage) {
  const EndCase& c = GetParam();
  Start(c.grid);
  ASSERT_TRUE(search.RunUntilOver(kFrameLimit));

  EXPECT_EQ(c.endFrame, search.LastNumber());
  EXPECT_EQ(c.endState, explorer.state);
  EXPECT_EQ(c.endPose, explorer.pose);
  EXPECT_EQ(c.pathSize, explorer.path.size());
  EXPECT_EQ("", search.At(c.endFrame).messageSet) << "the final frame itself says nothing";

  const std::string endMessage = c.endState == FoundExit ? kSaysFoundExit : kSaysNoExit;
  const Snapshot ended = TakeSnapshot(explorer);
  search.Run(3);
  EXPECT_EQ((std::vector<std::pair<int, std::string>>{{c.endFrame + 1, endMessage},
                                                      {c.endFrame + 2, endMessage},
                                                      {c.endFrame + 3, endMessage}}),
            search.MessagesSet(c.endFrame + 1, c.endFrame + 3));
  explorer_test::ExpectSameSearch(ended, TakeSnapshot(explorer));
}

INSTANTIATE_TEST_SUITE_P(Mazes, SearchEndTest, ::testing::ValuesIn(kEndCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Frame-exact details ------------------------------------------------------

TEST_F(SearchTest, AllWallsTriesEachHeadingAfterQuarterTurnsThenGivesUpSilently) {
  Start(FilledGrid(Wall));
  search.Run(59);
  EXPECT_EQ((std::vector<std::pair<int, std::string>>{{1, kSaysNextHeading},
                                                      {20, kSaysNextHeading},
                                                      {39, kSaysNextHeading},
                                                      {59, kSaysNoExit}}),
            search.MessagesSet(1, 59));
  for (int n = 2; n <= 57; ++n) {
    EXPECT_EQ(Choosing, search.At(n).state) << "frame " << n;
  }
  EXPECT_EQ(NoExit, search.At(58).state);
  EXPECT_EQ(FilledGrid(Wall), GridOf(explorer));
}

TEST_F(SearchTest, QuarterTurnThenMoveNorthTakes18And31Frames) {
  Start(WallsWith({{0, 0, Open}, {0, 1, Exit}}));
  search.Run(50);
  for (int n = 2; n <= 19; ++n) {
    EXPECT_EQ(5 * (n - 1), search.At(n).pose.angle) << "frame " << n;
  }
  const Frame& probe = search.At(20);
  EXPECT_EQ(Advancing, probe.state);
  EXPECT_EQ(kSaysCanMove, probe.messageSet);
  EXPECT_EQ((Pose{0, 0, 1, 90, 1}), probe.pose);
  EXPECT_EQ(2u, probe.pathSize);
  EXPECT_EQ(Advancing, search.At(49).state);
  EXPECT_EQ(30, search.At(49).pose.progress);
  EXPECT_EQ(FoundExit, search.At(50).state);
  EXPECT_EQ(Exit, explorer.CellAt(1, 0));
}

TEST_F(SearchTest, CorridorIsWalkedWithoutTurningOneCellPer31Frames) {
  Start(CorridorToExit());
  ASSERT_TRUE(search.RunUntilOver(kFrameLimit));
  std::vector<std::pair<int, std::string>> moves;
  for (int n = 1; n < 279; n += 31) moves.emplace_back(n, kSaysCanMove);
  EXPECT_EQ(moves, search.MessagesSet(1, search.LastNumber()));
  EXPECT_EQ(0, search.FirstWhere([](const Frame& f) { return f.pose.angle != 0; }));
  for (int x = 1; x < 9; ++x) EXPECT_EQ(Trail, explorer.CellAt(0, x)) << "column " << x;
  EXPECT_EQ(Open, explorer.CellAt(0, 0));
}

TEST_F(SearchTest, TwoOpenCellsReenterStartThenBackOutOfBoth) {
  Start(WallsWith({{0, 0, Open}, {1, 0, Open}}));
  ASSERT_TRUE(search.RunUntilOver(kFrameLimit));
  const Frame& reentry = search.At(70);
  EXPECT_EQ(Advancing, reentry.state);
  EXPECT_EQ(kSaysCanMove, reentry.messageSet);
  EXPECT_EQ((Pose{1, 0, 2, 180, 1}), reentry.pose);
  EXPECT_EQ(3u, reentry.pathSize);
  EXPECT_EQ(Choosing, search.At(69).state);
  EXPECT_EQ(WallsWith({{0, 0, DeadEnd}, {1, 0, DeadEnd}}), GridOf(explorer));
}

TEST_F(SearchTest, AllOpenVisitsEveryCellAndMarksAllDeadEnd) {
  Start(FilledGrid(Open));
  ASSERT_TRUE(search.RunUntilOver(kFrameLimit));
  size_t peak = 0;
  for (const Frame& frame : search.frames()) peak = std::max(peak, frame.pathSize);
  EXPECT_EQ(101u, peak);
  EXPECT_EQ(FilledGrid(DeadEnd), GridOf(explorer));
}

// After every arrival the explorer turns clockwise back to east, one 5-degree
// step per frame, each saying so; then it probes.
TEST_F(SearchTest, ArrivalTurnsClockwiseToEastSayingSoEachFrame) {
  Start(kSquare);
  ASSERT_TRUE(search.RunUntilOver(kFrameLimit));
  std::vector<int> arrivalAngles;
  for (int n = 2; n <= search.LastNumber(); ++n) {
    if (search.At(n - 1).state != Advancing || search.At(n).state != Choosing) continue;
    const int angle = search.At(n).pose.angle;
    arrivalAngles.push_back(angle);
    SCOPED_TRACE("arrival in frame " + std::to_string(n) + " at angle " + std::to_string(angle));
    for (int turn = 1; turn <= angle / kTurnStep; ++turn) {
      const Frame& frame = search.At(n + turn);
      EXPECT_EQ(angle - kTurnStep * turn, frame.pose.angle);
      EXPECT_EQ(kSaysTurnRight, frame.messageSet);
    }
    const Frame& probe = search.At(n + angle / kTurnStep + 1);
    EXPECT_EQ(0, probe.pose.angle);
    EXPECT_NE(kSaysTurnRight, probe.messageSet);
  }
  EXPECT_EQ((std::vector<int>{0, 90, 180, 270}), arrivalAngles);
}

// Backing out: the decision frame says so, then the explorer turns silently
// toward the previous cell, moves 30 frames and stands there facing the way
// it first entered that cell.
TEST_F(SearchTest, BackingOutTurnsTowardPreviousCellThenMoves30Frames) {
  Start(kSquare);
  ASSERT_TRUE(search.RunUntilOver(kFrameLimit));
  std::vector<Heading> headingsBack;
  std::vector<Pose> arrivals;
  for (int decision = 2; decision <= search.LastNumber(); ++decision) {
    if (search.At(decision - 1).state != Choosing || search.At(decision).state != Retreating) {
      continue;
    }
    SCOPED_TRACE("backing out in frame " + std::to_string(decision));
    const Frame& start = search.At(decision);
    EXPECT_EQ(kSaysGoBack, start.messageSet);
    const HeadingStep& back = HeadingTable[start.pose.heading];
    const int turns = std::abs(start.pose.angle - back.angle) / kTurnStep;
    const int arrival = decision + turns + kCellTicks;
    for (int n = decision + 1; n <= arrival; ++n) {
      EXPECT_EQ("", search.At(n).messageSet) << "frame " << n;
      EXPECT_EQ(n < arrival ? Retreating : Choosing, search.At(n).state) << "frame " << n;
    }
    const Pose& there = search.At(arrival).pose;
    EXPECT_EQ(start.pose.x + back.dx, there.x);
    EXPECT_EQ(start.pose.y + back.dy, there.y);
    headingsBack.push_back(start.pose.heading);
    arrivals.push_back(there);
  }
  EXPECT_EQ((std::vector<Heading>{1, 0, 3, 2}), headingsBack);
  EXPECT_EQ(
      (std::vector<Pose>{{0, 1, 0, 180, 0}, {1, 1, 0, 90, 0}, {1, 0, 0, 0, 0}, {0, 0, 0, 0, 0}}),
      arrivals);
}

TEST_F(SearchTest, PauseFreezesMoveAndResumeGoesOnFromSameProgress) {
  Start(WallsWith({{0, 0, Open}, {0, 1, Exit}}));
  for (int n = 1; n <= 30; ++n) ASSERT_TRUE(explorer.Tick());
  ASSERT_EQ(11, explorer.pose.progress);
  const Snapshot moving = TakeSnapshot(explorer);

  explorer.SetPaused(true);
  for (int n = 0; n < 3; ++n) {
    EXPECT_FALSE(explorer.Tick());
    EXPECT_STREQ(kSaysRest, explorer.message);
    explorer_test::ExpectSameSearch(moving, TakeSnapshot(explorer));
  }

  explorer.SetPaused(false);
  EXPECT_TRUE(explorer.Tick());
  EXPECT_EQ(12, explorer.pose.progress);
  EXPECT_STREQ(kSaysRest, explorer.message) << "moving frames set no message";
  for (int n = 32; n <= 50; ++n) explorer.Tick();
  EXPECT_EQ(FoundExit, explorer.state);
  EXPECT_STREQ(kSaysRest, explorer.message);

  explorer.Tick();
  EXPECT_STREQ(kSaysFoundExit, explorer.message);
  explorer.SetPaused(true);
  EXPECT_FALSE(explorer.Tick());
  EXPECT_STREQ(kSaysRest, explorer.message);
  explorer.SetPaused(false);
  EXPECT_TRUE(explorer.Tick());
  EXPECT_STREQ(kSaysFoundExit, explorer.message);
}

TEST_F(SearchTest, LoadedExplorerWaitsPausedUntilResumed) {
  explorer_test::LoadGrid(explorer, dir, FilledGrid(Open));
  const Snapshot loaded = TakeSnapshot(explorer);
  EXPECT_FALSE(explorer.Tick());
  EXPECT_STREQ(kSaysRest, explorer.message);
  explorer_test::ExpectSameSearch(loaded, TakeSnapshot(explorer));
}

// --- A cell that is neither passable nor blocked -------------------------------

// (code ahead, heading on which it is met: 0 east or 1 north)
class UnknownCellAheadTest : public SearchTest,
                             public ::testing::WithParamInterface<std::tuple<int32_t, Heading>> {};

TEST_P(UnknownCellAheadTest, ExplorerRocksInPlaceAndNeverWritesIt) {
  const auto [code, heading] = GetParam();
  const HeadingStep& step = HeadingTable[heading];
  const Grid grid = WallsWith({{0, 0, Open}, {step.dx, step.dy, code}});
  Start(grid);
  const int firstProbe = heading == 0 ? 1 : 20;  // after the probe east and a quarter turn
  search.Run(firstProbe + 11);

  // Turning toward east from a heading above 0 is clockwise, and says so.
  const int awayAngle = heading == 0 ? kTurnStep : step.angle - kTurnStep;
  const char* awayMessage = heading == 0 ? "" : kSaysTurnRight;
  const char* backMessage = heading == 0 ? kSaysTurnRight : "";
  for (int n = firstProbe; n <= search.LastNumber(); ++n) {
    const Frame& frame = search.At(n);
    const bool isProbe = (n - firstProbe) % 2 == 0;
    SCOPED_TRACE("frame " + std::to_string(n));
    EXPECT_EQ(Choosing, frame.state);
    EXPECT_EQ((Pose{0, 0, heading, isProbe ? awayAngle : step.angle, 0}), frame.pose);
    EXPECT_EQ(isProbe ? awayMessage : backMessage, frame.messageSet);
    EXPECT_EQ(1u, frame.pathSize);
  }
  EXPECT_EQ(grid, GridOf(explorer));
}

INSTANTIATE_TEST_SUITE_P(Codes, UnknownCellAheadTest,
                         ::testing::Combine(::testing::Values(Marker, 5, -1),
                                            ::testing::Values(0, 1)));

// --- Whole-run properties -----------------------------------------------------

// Whether depth-first moves from the start through Open and Exit cells reach
// an Exit; the start cell counts only when entered again from a neighbour.
bool ExitReachable(const Grid& grid) {
  std::array<bool, kCellCount> entered{};
  std::vector<std::pair<int, int>> todo{{0, 0}};
  while (!todo.empty()) {
    const auto [x, y] = todo.back();
    todo.pop_back();
    for (const HeadingStep& step : HeadingTable) {
      const int nx = x + step.dx;
      const int ny = y + step.dy;
      if (nx < 0 || nx >= kMazeSide || ny < 0 || ny >= kMazeSide || entered[Index(nx, ny)]) {
        continue;
      }
      const int32_t code = grid[Index(nx, ny)];
      if (code == Exit) return true;
      if (code != Open) continue;
      entered[Index(nx, ny)] = true;
      todo.emplace_back(nx, ny);
    }
  }
  return false;
}

// About two thirds Open, a quarter Wall, a few DeadEnd, Trail and Exit cells.
Grid RandomGrid(uint32_t seed) {
  std::mt19937 random(seed);
  Grid grid;
  for (int32_t& cell : grid) {
    const uint32_t roll = random() % 40;
    cell = roll < 11 ? Wall : roll < 37 ? Open : roll == 37 ? DeadEnd : roll == 38 ? Trail : Exit;
  }
  return grid;
}

bool AnglesValid(const Frame& frame) {
  return frame.pose.angle % kTurnStep == 0 && frame.pose.angle >= 0 && frame.pose.angle <= 270;
}

// The route on the path stack: from the start entry through adjacent cells to
// an exit, every cell between them Trail, and no Trail cell off it.
void ExpectRouteToExit(const Grid& before, const MazeExplorer& explorer) {
  const std::vector<Pose> route = TakeSnapshot(explorer).path;
  ASSERT_GE(route.size(), 2u);
  EXPECT_EQ(Pose{}, route.front());
  EXPECT_EQ(Exit, explorer.CellAt(route.back().y, route.back().x));
  std::vector<bool> onRoute(kCellCount, false);
  for (size_t i = 0; i < route.size(); ++i) {
    onRoute[Index(route[i].x, route[i].y)] = true;
    if (i == 0) continue;
    EXPECT_EQ(1, std::abs(route[i].x - route[i - 1].x) + std::abs(route[i].y - route[i - 1].y))
        << "entry " << i;
    if (i + 1 < route.size()) {
      EXPECT_EQ(Trail, explorer.CellAt(route[i].y, route[i].x)) << "entry " << i;
    }
  }
  for (int i = 0; i < kCellCount; ++i) {
    if (explorer.grid[i] == Trail && before[i] != Trail) {
      EXPECT_TRUE(onRoute[i]) << "cell " << i;
    }
  }
}

TEST_F(SearchTest, RandomMazesEndAsReachabilitySaysWithConsistentMarks) {
  int found = 0;
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Grid grid = RandomGrid(seed);
    SearchRecorder run(explorer);
    Start(grid);
    ASSERT_TRUE(run.RunUntilOver(kFrameLimit));
    EXPECT_EQ(0, run.FirstWhere([](const Frame& f) { return !AnglesValid(f); }));
    EXPECT_EQ(ExitReachable(grid) ? FoundExit : NoExit, explorer.state);
    for (int i = 0; i < kCellCount; ++i) {
      if (explorer.grid[i] != grid[i]) {
        EXPECT_EQ(Open, grid[i]) << "cell " << i << " written";
      }
    }
    if (explorer.state == FoundExit) {
      ++found;
      ExpectRouteToExit(grid, explorer);
    } else {
      EXPECT_TRUE(explorer.path.empty());
      for (int i = 0; i < kCellCount; ++i) {
        if (grid[i] != Trail) {
          EXPECT_NE(Trail, explorer.grid[i]) << "cell " << i;
        }
      }
    }
  }
  // The seeds give both endings, so both sets of checks run.
  EXPECT_GT(found, 0);
  EXPECT_LT(found, 12);
}

TEST_F(SearchTest, AnglesStayMultiplesOf5From0To270ThroughAWholeSearch) {
  Start(FilledGrid(Open));
  ASSERT_TRUE(search.RunUntilOver(kFrameLimit));
  EXPECT_EQ(0, search.FirstWhere([](const Frame& f) { return !AnglesValid(f); }));
}

// --- Stepping to the next decision -------------------------------------------

// What a tick that ran (not paused) left behind, message included.
struct TickRecord {
  Snapshot after;
  bool decided;  // the tick probed the cell ahead, or ended the search
};

bool SameRecord(const TickRecord& a, const TickRecord& b) {
  return a.after.path == b.after.path && a.after.grid == b.after.grid &&
         a.after.pose == b.after.pose && a.after.state == b.after.state &&
         a.after.message == b.after.message;
}

// Runs one tick and records it if it ran.
bool RecordTick(MazeExplorer& explorer, std::vector<TickRecord>& ticks) {
  const bool probes = explorer.state == Choosing &&
                      explorer.pose.angle == HeadingTable[explorer.pose.heading].angle;
  const bool wasOver = explorer_test::IsOver(explorer.state);
  if (!explorer.Tick()) return false;
  ticks.push_back({TakeSnapshot(explorer), probes || (!wasOver && explorer.IsOver())});
  return true;
}

// A search run straight through with Space and Ctrl standing in for the
// unpaused ticks: each Space stops right after the next tick that decides,
// holds the explorer there with that tick's message, and the ticks that ran
// are those of the straight run. `decisionsStepped` Spaces, then Ctrl.
void ExpectSteppedRunMatchesStraightRun(const Grid& grid, int decisionsStepped) {
  ScratchDir dir;
  MazeExplorer straight;
  explorer_test::LoadGrid(straight, dir, grid);
  straight.SetPaused(false);
  std::vector<TickRecord> expected;
  while (!straight.IsOver()) RecordTick(straight, expected);
  RecordTick(straight, expected);  // the first frame that says how it ended

  MazeExplorer stepped;
  explorer_test::LoadGrid(stepped, dir, grid);
  std::vector<TickRecord> ticks;
  std::vector<size_t> stops;  // ticks run before each hold
  for (int step = 0; step < decisionsStepped && !stepped.IsOver(); ++step) {
    stepped.StepToNextDecision();
    while (RecordTick(stepped, ticks)) ASSERT_LT(ticks.size(), expected.size());
    stops.push_back(ticks.size());
    // Held: paused frames change nothing and keep the decision's message.
    const Snapshot held = TakeSnapshot(stepped);
    for (int frame = 0; frame < 3; ++frame) {
      ASSERT_FALSE(stepped.Tick());
      explorer_test::ExpectSameSearch(held, TakeSnapshot(stepped));
      EXPECT_STREQ(stepped.IsOver() ? (stepped.state == FoundExit ? kSaysFoundExit : kSaysNoExit)
                                    : held.message.c_str(),
                   stepped.message);
    }
  }
  stepped.SetPaused(false);  // Ctrl
  while (ticks.size() < expected.size()) ASSERT_TRUE(RecordTick(stepped, ticks));

  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_TRUE(SameRecord(expected[i], ticks[i])) << "tick " << i + 1;
  }
  std::vector<size_t> decisions;
  for (size_t i = 0; i < expected.size() && decisions.size() < stops.size(); ++i) {
    if (expected[i].decided) decisions.push_back(i + 1);
  }
  EXPECT_EQ(decisions, stops);
}

TEST_F(SearchTest, SteppedSearchPassesThroughTheTicksOfAStraightRun) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    // Every other search stepped through to its end, the others resumed.
    const int decisionsStepped = seed % 2 == 0 ? kFrameLimit : 25;
    SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(decisionsStepped));
    ExpectSteppedRunMatchesStraightRun(RandomGrid(seed), decisionsStepped);
  }
}

TEST_F(SearchTest, SpaceStartsAWaitingSearchAndStopsAtItsFirstProbe) {
  // East blocked, north open: the first decision is the probe east in tick 1,
  // the second the probe north after the quarter turn, in tick 20.
  explorer_test::LoadGrid(explorer, dir, WallsWith({{0, 0, Open}, {0, 1, Exit}}));
  explorer.StepToNextDecision();
  EXPECT_TRUE(explorer.Tick());
  EXPECT_EQ(1, explorer.paused);
  EXPECT_STREQ(kSaysNextHeading, explorer.message);
  EXPECT_FALSE(explorer.Tick());
  EXPECT_STREQ(kSaysNextHeading, explorer.message) << "a held explorer says its decision";

  explorer.StepToNextDecision();
  for (int tick = 2; tick <= 20; ++tick) ASSERT_TRUE(explorer.Tick()) << "tick " << tick;
  EXPECT_FALSE(explorer.Tick());
  EXPECT_STREQ(kSaysCanMove, explorer.message);
  EXPECT_EQ(Advancing, explorer.state);

  // Shift pauses a held explorer as any other: the rest message.
  explorer.SetPaused(true);
  EXPECT_FALSE(explorer.Tick());
  EXPECT_STREQ(kSaysRest, explorer.message);
}

TEST_F(SearchTest, SpaceOnARunningSearchHoldsItAtTheNextDecision) {
  explorer.StepToNextDecision();  // nothing loaded
  EXPECT_EQ(0, explorer.paused);
  EXPECT_FALSE(explorer.stepping);

  // East blocked, north open: decisions in ticks 1 and 20 (the probe north).
  Start(WallsWith({{0, 0, Open}, {0, 1, Exit}}));
  for (int tick = 1; tick <= 3; ++tick) ASSERT_TRUE(explorer.Tick());
  explorer.StepToNextDecision();
  for (int tick = 4; tick <= 20; ++tick) ASSERT_TRUE(explorer.Tick()) << "tick " << tick;
  EXPECT_FALSE(explorer.Tick());
  EXPECT_TRUE(explorer.held);
  EXPECT_STREQ(kSaysCanMove, explorer.message);

  explorer.SetPaused(false);
  ASSERT_TRUE(search.RunUntilOver(kFrameLimit));
  explorer.SetPaused(true);
  const Snapshot over = TakeSnapshot(explorer);
  explorer.StepToNextDecision();
  EXPECT_FALSE(explorer.Tick());
  explorer_test::ExpectSameSearch(over, TakeSnapshot(explorer));
  EXPECT_STREQ(kSaysRest, explorer.message);
}

// Spaces pressed while a step still runs are counted: three presses in a row
// hold at the third decision, having passed the first two without a stop;
// Shift forgets the presses not yet used.
TEST_F(SearchTest, SpacesPressedDuringAStepEachPassOneDecision) {
  // The square: decisions in ticks 1 (east, open), 32 (east, wall), 51
  // (north, open).
  explorer_test::LoadGrid(explorer, dir, kSquare);
  for (int press = 0; press < 3; ++press) explorer.StepToNextDecision();
  int ticks = 0;
  while (explorer.Tick()) ++ticks;
  EXPECT_EQ(51, ticks);
  EXPECT_STREQ(kSaysCanMove, explorer.message);
  EXPECT_EQ((Pose{1, 0, 1, 90, 1}), explorer.pose);

  explorer.StepToNextDecision();
  explorer.StepToNextDecision();
  explorer.SetPaused(true);
  explorer.StepToNextDecision();
  ticks = 0;
  while (explorer.Tick()) ++ticks;
  EXPECT_EQ(30 + 18 + 1, ticks) << "the move north, a turn to east, its probe: one decision";
}

// --- What a held step says in front of a cell it cannot enter -----------------

struct HeldStop {
  std::string message;
  Pose pose;
  bool waitingAtStart;
};

// Presses Space `presses` times on `grid`, each once the last step holds,
// and returns what each hold shows; checks that the held frames keep saying
// it.
std::vector<HeldStop> HeldStops(const Grid& grid, int presses) {
  ScratchDir dir;
  MazeExplorer explorer;
  explorer.editMode = true;
  explorer_test::LoadGrid(explorer, dir, grid);
  std::vector<HeldStop> stops;
  for (int press = 0; press < presses && !explorer.IsOver(); ++press) {
    explorer.StepToNextDecision();
    for (int tick = 0; explorer.Tick(); ++tick) {
      if (tick > kFrameLimit) {
        ADD_FAILURE() << "no hold";
        return stops;
      }
    }
    stops.push_back({explorer.message, explorer.pose, explorer.IsWaitingAtStart()});
    for (int frame = 0; frame < 3; ++frame) {
      EXPECT_FALSE(explorer.Tick());
      EXPECT_EQ(stops.back().message, explorer.message);
    }
  }
  return stops;
}

bool Faces(const Pose& pose, int x, int y) {
  const HeadingStep& step = HeadingTable[pose.heading];
  return pose.angle == step.angle && pose.x + step.dx == x && pose.y + step.dy == y;
}

// A cell whose code is neither open, exit nor blocked, placed where the search
// faces it on each of the four headings. Every held stop before it is the
// stop of the same search with a wall there; the stop in front of it says
// what the search says of a wall there, with the arrow facing it; every
// further Space rocks the arrow and holds in front of it again, as the
// search never gets past it. The first Space never shows the rest or the
// drawing message, and a hold that has changed nothing keeps the grid
// editable.
TEST(HeldStopTest, InFrontOfAnUnknownCodeSaysWhatABlockedCellWould) {
  struct Place {
    const char* name;
    Grid grid;  // the unknown code goes to (x, y)
    int x;
    int y;
  };
  const Place places[] = {
      {"east of the start", WallsWith({{0, 0, Open}}), 1, 0},
      {"north of the start", WallsWith({{0, 0, Open}}), 0, 1},
      {"west, third heading", WallsWith({{0, 0, Open}, {1, 0, Open}, {2, 0, Open}, {2, 1, Open}}),
       1, 1},
      {"south, last heading", WallsWith({{0, 0, Open}, {0, 1, Open}, {1, 1, Open}, {2, 1, Open}}),
       2, 0},
  };
  const int32_t codes[] = {4, 5, 6, 7, Marker, 10, 42, -1, INT32_MIN, INT32_MAX};
  constexpr int kPressesPast = 2;
  for (const Place& place : places) {
    Grid walled = place.grid;
    walled[Index(place.x, place.y)] = Wall;
    const std::vector<HeldStop> wallStops = HeldStops(walled, 12);
    for (const int32_t code : codes) {
      SCOPED_TRACE(::testing::Message() << place.name << ", code " << code);
      Grid grid = place.grid;
      grid[Index(place.x, place.y)] = code;
      const std::vector<HeldStop> stops = HeldStops(grid, 12);
      const auto facing = std::find_if(stops.begin(), stops.end(), [&](const HeldStop& stop) {
        return Faces(stop.pose, place.x, place.y);
      });
      ASSERT_NE(facing, stops.end());
      const size_t first = static_cast<size_t>(facing - stops.begin());
      ASSERT_LT(first + kPressesPast, stops.size());
      ASSERT_LT(first, wallStops.size());
      for (size_t i = 0; i <= first; ++i) {
        SCOPED_TRACE(::testing::Message() << "stop " << i + 1);
        EXPECT_EQ(wallStops[i].message, stops[i].message);
        if (i < first) {
          EXPECT_EQ(wallStops[i].pose, stops[i].pose);
        }
        EXPECT_NE(kSaysRest, stops[i].message);
        EXPECT_NE(kEditMessage, stops[i].message);
      }
      for (size_t i = first + 1; i < stops.size(); ++i) {
        EXPECT_EQ(stops[first].message, stops[i].message) << "stop " << i + 1;
        EXPECT_EQ(stops[first].pose, stops[i].pose) << "stop " << i + 1;
      }
      EXPECT_EQ(first == 0, stops[first].waitingAtStart);
    }
  }
}

}  // namespace
