// Drawing the maze with the mouse: clicks and drags reach the window
// procedure as the platform delivers them, cycle or paint the cells under the
// pointer while the explorer waits at start, and the map file follows every
// edit; a file that cannot be written undoes the edit and warns once.
#include "ui/maze_editing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "explorer/maze_generator.h"
#include "shell/app/program_state.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "tests/explorer_fixtures.h"
#include "tests/offscreen_program.h"
#include "ui/commands.h"

namespace {

using explorer_test::Grid;
using explorer_test::GridOf;
using explorer_test::Index;
using explorer_test::MapText;
using explorer_test::ScratchDir;
using explorer_test::WallsWith;

// A map with codes outside the click cycle, which must survive every write.
const Grid kMap = WallsWith({{0, 0, Open}, {1, 0, Open}, {4, 4, DeadEnd}, {5, 5, -1}, {9, 9, 5}});

class MazeEditingTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(dir_.Write("maze.txt", MapText(kMap))); }
  void TearDown() override { ResetProgram(); }

  // The program in edit mode with the map `file` loaded, its window open on
  // a 360 x 360 drawing area (a scene unit a pixel).
  void Start(const std::string& file) {
    ResetOpenedProgram();
    offscreen::Get().windowExists = true;
    offscreen::Get().contextCurrent = true;
    map_ = file;
    App.MapFileName = map_.c_str();
    App.Explorer.editMode = true;
    LoadMapFile();
  }

  // What another program does: writes `grid` into the map file. Its time
  // moves on a second, so that the change shows in the file's stamp even
  // where the file system's time step is coarse and the size stays.
  void WriteAsAnotherProgram(const Grid& grid) const {
    const std::filesystem::file_time_type before = std::filesystem::last_write_time(map_);
    std::ofstream(map_, std::ios::binary) << MapText(grid);
    std::filesystem::last_write_time(map_, before + std::chrono::seconds(1));
  }

  // A press at pixel (x, y) from the drawing area's top-left corner.
  static void PressAt(uint32_t button, int x, int y) {
    MainWindowProc(WindowMessage{MessageKind::PointerDown, button, x, y});
  }

  // A press in the middle of the cell of `column`, `row`.
  static void Click(uint32_t button, int column, int row) {
    PressAt(button, 45 + 30 * column, 359 - (45 + 30 * row));
  }

  // Pointer messages through the offscreen backend's queue, dispatched at
  // once: press, moves with `buttons` held, release.
  static void Pointer(MessageKind kind, uint32_t buttons, int x, int y) {
    offscreen::QueuePointer(kind, buttons, x, y);
    int exitCode = 0;
    while (PlatformEventPending()) PlatformDispatchEvent(&exitCode);
  }
  static int CellX(int column) { return 45 + 30 * column; }
  static int CellY(int row) { return 359 - (45 + 30 * row); }
  static void Press(uint32_t button, int column, int row) {
    Pointer(MessageKind::PointerDown, button, CellX(column), CellY(row));
  }
  static void MoveTo(uint32_t buttons, int column, int row) {
    Pointer(MessageKind::PointerMove, buttons, CellX(column), CellY(row));
  }
  static void Release(uint32_t button, int column, int row) {
    Pointer(MessageKind::PointerUp, button, CellX(column), CellY(row));
  }

  std::string MapContents() const {
    std::ifstream file(map_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  static std::vector<std::pair<NoticeKind, std::string>>& Notices() {
    return offscreen::Get().notices;
  }

  ScratchDir dir_;
  std::string map_;
};

TEST_F(MazeEditingTest, ClicksCycleTheCellUnderThePointAndTheFileFollowsEachOne) {
  struct Step {
    uint32_t button;
    int column, row;
    int32_t code;  // the cell's code after the click
  };
  const Step steps[] = {
      {PointerLeft, 3, 7, Open},  {PointerLeft, 3, 7, Exit},  {PointerLeft, 3, 7, Wall},
      {PointerRight, 3, 7, Exit}, {PointerRight, 3, 7, Open}, {PointerRight, 3, 7, Wall},
      {PointerLeft, 4, 4, Wall},  {PointerRight, 9, 9, Exit}, {PointerLeft, 5, 5, Wall},
      {PointerLeft, 0, 0, Exit},  {PointerRight, 0, 0, Open},
  };
  Grid expected = kMap;
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message()
                 << "button " << step.button << " on (" << step.column << ", " << step.row << ")");
    Click(step.button, step.column, step.row);

    expected[Index(step.column, step.row)] = step.code;
    EXPECT_EQ(expected, GridOf(App.Explorer));
    EXPECT_EQ(MapText(expected), MapContents());
  }
  // The arrow stays on its start cell, paused.
  EXPECT_EQ(Pose{}, App.Explorer.pose);
  EXPECT_EQ(1, App.Explorer.paused);
  EXPECT_TRUE(Notices().empty());
}

TEST_F(MazeEditingTest, PointsOutsideTheMazeAndOtherButtonsChangeNothing) {
  offscreen::Get().clientWidth = 560;  // bands of 100 pixels beside the square
  const std::pair<int, int> outside[] = {{50, 180}, {509, 180}, {129, 180}, {430, 180},
                                         {280, 29}, {280, 330}, {-5, 180},  {280, 400}};
  for (const auto& [x, y] : outside) PressAt(PointerLeft, x, y);
  PressAt(3, 280, 180);  // a third button, in the middle of the maze

  EXPECT_EQ(kMap, GridOf(App.Explorer));
  EXPECT_EQ(MapText(kMap), MapContents());
}

TEST_F(MazeEditingTest, ClicksDoNothingWithoutEditModeOrOnceTheSearchHasMoved) {
  App.Explorer.editMode = false;
  Click(PointerLeft, 3, 3);
  EXPECT_EQ(kMap, GridOf(App.Explorer));

  App.Explorer.editMode = true;
  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyControl});  // resume
  App.Explorer.Tick();                                              // the first probe
  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyShift});    // pause
  Click(PointerLeft, 3, 3);
  EXPECT_EQ(Trail, App.Explorer.grid[Index(1, 0)]);  // entered by the search
  EXPECT_EQ(Wall, App.Explorer.grid[Index(3, 3)]);
  EXPECT_EQ(MapText(kMap), MapContents());

  // Return reloads and resumes: clicks edit again until the next frame.
  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyReturn});
  Click(PointerLeft, 3, 3);
  EXPECT_EQ(Open, App.Explorer.grid[Index(3, 3)]);
  App.Explorer.Tick();
  Click(PointerLeft, 3, 3);
  EXPECT_EQ(Open, App.Explorer.grid[Index(3, 3)]);
  EXPECT_EQ(
      MapText(WallsWith(
          {{0, 0, Open}, {1, 0, Open}, {3, 3, Open}, {4, 4, DeadEnd}, {5, 5, -1}, {9, 9, 5}})),
      MapContents());
}

// A Marker right next to the start: the first Space holds in front of it,
// before the search has changed anything, saying what the search says of a
// blocked cell; clicks still edit there, and the first one ends the hold, so
// the status line asks for clicks again.
TEST_F(MazeEditingTest, ClicksEditWhileHeldInFrontOfTheFirstDecision) {
  const Grid marked = WallsWith({{0, 0, Open}, {1, 0, Marker}});
  Start(dir_.Write("marked.txt", MapText(marked)));
  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeySpace});
  EXPECT_FALSE(App.Explorer.Tick());
  EXPECT_STREQ(explorer_test::kSaysNextHeading, App.Explorer.message);
  EXPECT_EQ(Pose{}, App.Explorer.pose) << "the arrow faces the Marker";

  Click(PointerLeft, 1, 0);
  EXPECT_EQ(Wall, App.Explorer.grid[Index(1, 0)]);
  EXPECT_EQ(MapText(WallsWith({{0, 0, Open}})), MapContents());
  EXPECT_FALSE(App.Explorer.Tick());
  EXPECT_STREQ(kEditMessage, App.Explorer.message);
}

TEST_F(MazeEditingTest, AFileThatCannotBeWrittenUndoesTheEditAndWarnsOncePerFailure) {
  const std::string warning =
      "cannot write the map file '" + map_ + "': the file is read-only; the edit is undone";
  chmod(map_.c_str(), 0444);
  Click(PointerLeft, 3, 3);
  Click(PointerRight, 0, 0);

  EXPECT_EQ(kMap, GridOf(App.Explorer));
  EXPECT_EQ(MapText(kMap), MapContents());
  const std::vector<std::pair<NoticeKind, std::string>> once = {{NoticeKind::Warning, warning}};
  EXPECT_EQ(once, Notices());

  // Writable again, the edit goes through; a new failure is told again.
  chmod(map_.c_str(), 0644);
  Click(PointerLeft, 3, 3);
  EXPECT_EQ(Open, App.Explorer.grid[Index(3, 3)]);
  chmod(map_.c_str(), 0444);
  Click(PointerLeft, 3, 3);
  EXPECT_EQ(Open, App.Explorer.grid[Index(3, 3)]);
  EXPECT_EQ(2u, Notices().size());
}

// The maze that pathwick-maze --seed `seed` makes.
Grid GeneratedMaze(uint64_t seed) {
  int32_t maze[kCellCount];
  EXPECT_TRUE(GenerateMaze(MazeRequest{seed, 1, 0}, maze));
  Grid grid;
  std::copy(std::begin(maze), std::end(maze), grid.begin());
  return grid;
}

// N in edit mode: the new maze goes to the file as a click's edit does, from
// the start, mid-search or after another program changed the file, and the
// explorer waits on it; a file that cannot be written keeps its map, on the
// screen too.
TEST_F(MazeEditingTest, ANewMazeIsWrittenToTheFileAsAClickIs) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
  };
  const Case cases[] = {
      {"waiting at start", [] {}},
      {"mid-search",
       [] {
         MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyReturn});
         for (int tick = 0; tick < 40; ++tick) App.Explorer.Tick();
       }},
      {"the file changed by another program",
       [this] {
         WriteAsAnotherProgram(WallsWith({{0, 0, Open}, {0, 1, Exit}}));
       }},
  };
  uint64_t seed = 40;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    ASSERT_TRUE(PutNewMaze(++seed));
    EXPECT_EQ(GeneratedMaze(seed), GridOf(App.Explorer));
    EXPECT_EQ(MapFileText(App.Explorer.grid), MapContents());
    EXPECT_EQ(Pose{}, App.Explorer.pose);
    EXPECT_FALSE(App.Explorer.Tick());
    EXPECT_EQ("New maze, seed " + std::to_string(seed), std::string(App.Explorer.message));
  }

  const std::string onDisk = MapContents();
  const Grid shown = GridOf(App.Explorer);
  chmod(map_.c_str(), 0444);
  EXPECT_FALSE(PutNewMaze(7));
  EXPECT_EQ(shown, GridOf(App.Explorer));
  EXPECT_EQ(onDisk, MapContents());
  EXPECT_EQ(1u, Notices().size());
  EXPECT_FALSE(App.Explorer.Tick());
  EXPECT_STREQ(kEditMessage, App.Explorer.message);
}

// Two editors on one map, the other one a program that writes the file
// between this one's clicks: each click finds the other's change, reloads
// it, says so on the status line and adds its own cell, so that the file
// ends with every click.
TEST_F(MazeEditingTest, ChangesOfAnotherProgramAreReloadedBeforeAClickAndKept) {
  Grid expected = kMap;
  struct Turn {
    int otherColumn;  // the other program opens this cell of row 0
    int ownColumn;    // then this program clicks this one, left
  };
  for (const Turn& turn : {Turn{2, 3}, Turn{4, 5}, Turn{6, 7}}) {
    SCOPED_TRACE(turn.ownColumn);
    expected[Index(turn.otherColumn, 0)] = Open;
    WriteAsAnotherProgram(expected);

    Click(PointerLeft, turn.ownColumn, 0);
    App.Explorer.Tick();

    expected[Index(turn.ownColumn, 0)] = Open;
    EXPECT_EQ(expected, GridOf(App.Explorer));
    EXPECT_EQ(MapText(expected), MapContents());
    EXPECT_STREQ(App.Explorer.message, kMapReloadedNote);
  }
  // A click that finds no change says how to edit again.
  Click(PointerLeft, 8, 0);
  App.Explorer.Tick();
  EXPECT_STRNE(App.Explorer.message, kMapReloadedNote);
  EXPECT_EQ(Pose{}, App.Explorer.pose);
  EXPECT_TRUE(Notices().empty());
}

// Two programs on one map, the second a child process with globals of its
// own, started on the same map: clicking in turn, each adds its cell to
// the other's, and both end showing the file with every click.
TEST_F(MazeEditingTest, TwoProgramsClickingInTurnEndWithEveryClickInTheFileAndShowIt) {
  int toChild[2], toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  constexpr char kReport = 'r';
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Clicks the column of row 0 it is sent; on kReport, looks at the file
    // as a frame would and sends back the map it shows.
    for (char column = 0; read(toChild[0], &column, 1) == 1;) {
      if (column != kReport) {
        Press(PointerLeft, column, 0);
        Release(PointerLeft, column, 0);
        if (write(toParent[1], &column, 1) != 1) _exit(1);
        continue;
      }
      FollowMapFile();
      const std::string shown = MapFileText(App.Explorer.grid);
      _exit(write(toParent[1], shown.data(), shown.size()) == static_cast<ssize_t>(shown.size())
                ? 0
                : 1);
    }
    _exit(1);
  }
  const auto clickInChild = [&](char column) {
    char done = 0;
    ASSERT_EQ(write(toChild[1], &column, 1), 1);
    ASSERT_EQ(read(toParent[0], &done, 1), 1);
  };

  Press(PointerLeft, 2, 0);
  Release(PointerLeft, 2, 0);
  clickInChild(3);
  Press(PointerLeft, 4, 0);
  Release(PointerLeft, 4, 0);
  clickInChild(5);
  ASSERT_EQ(write(toChild[1], &kReport, 1), 1);
  std::string childShows(MapText(kMap).size(), '\0');
  ASSERT_EQ(read(toParent[0], childShows.data(), childShows.size()),
            static_cast<ssize_t>(childShows.size()));
  int status = 0;
  waitpid(child, &status, 0);
  FollowMapFile();

  Grid expected = kMap;
  for (int column : {2, 3, 4, 5}) expected[Index(column, 0)] = Open;
  EXPECT_EQ(MapText(expected), MapContents());
  EXPECT_EQ(expected, GridOf(App.Explorer));
  EXPECT_EQ(MapText(expected), childShows);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
}

TEST_F(MazeEditingTest, AClickOnACellTheOtherProgramChangedGivesTheCodeTheUserAimedAt) {
  // The user sees a wall at (3, 3), which the other program has just opened;
  // the left click that would open it leaves it open, not an exit.
  WriteAsAnotherProgram(WallsWith({{0, 0, Open}, {3, 3, Open}}));

  Click(PointerLeft, 3, 3);

  EXPECT_EQ(MapText(WallsWith({{0, 0, Open}, {3, 3, Open}})), MapContents());
}

TEST_F(MazeEditingTest, AChangeOnDiskShowsAtTheNextFrameButNotDuringADrag) {
  const Grid changed = WallsWith({{0, 0, Open}, {9, 0, Exit}});
  Press(PointerLeft, 3, 3);  // a drag under way: its cells wait for their write
  WriteAsAnotherProgram(changed);
  FollowMapFile();
  EXPECT_EQ(Open, App.Explorer.grid[Index(3, 3)]);
  EXPECT_EQ(Wall, App.Explorer.grid[Index(9, 0)]);

  Release(PointerLeft, 3, 3);
  WriteAsAnotherProgram(changed);
  FollowMapFile();
  EXPECT_EQ(changed, GridOf(App.Explorer));
  App.Explorer.Tick();
  EXPECT_STREQ(App.Explorer.message, kMapReloadedNote);
  EXPECT_EQ(1, App.Explorer.paused);

  // Once the search has moved, the file is no longer followed.
  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyControl});
  App.Explorer.Tick();
  WriteAsAnotherProgram(kMap);
  FollowMapFile();
  EXPECT_NE(kMap, GridOf(App.Explorer));
}

TEST_F(MazeEditingTest, AMissingMapStartsAllWallAndTheFirstClickCreatesIt) {
  Start(dir_.PathOf("new.txt"));
  EXPECT_EQ(explorer_test::FilledGrid(Wall), GridOf(App.Explorer));

  Click(PointerLeft, 2, 0);

  EXPECT_EQ(MapText(WallsWith({{2, 0, Open}})), MapContents());
}

// --- Painting by dragging --------------------------------------------------------

TEST_F(MazeEditingTest, ADragPaintsEveryCellItEntersWithTheCodeThePressedCellTook) {
  // Left on a wall: it opens, and one move three cells on opens the walls on
  // the way; the open cell (1, 0) is painted too, (0, 0) already holds the
  // code and is left alone.
  Press(PointerLeft, 3, 0);
  MoveTo(PointerLeft, 0, 0);
  MoveTo(PointerLeft, 0, 0);  // moves inside a cell change nothing more
  Release(PointerLeft, 0, 0);
  Grid expected = kMap;
  for (int column = 0; column <= 3; ++column) expected[Index(column, 0)] = Open;
  EXPECT_EQ(expected, GridOf(App.Explorer));
  EXPECT_EQ(MapText(expected), MapContents());

  // Right on an open cell: it becomes a wall, and so does every cell the
  // drag enters, after it leaves the maze (beyond the drawing area too) and
  // comes back: the dead end at (4, 4).
  Press(PointerRight, 3, 0);
  MoveTo(PointerRight, 3, 1);
  Pointer(MessageKind::PointerMove, PointerRight, 10, CellY(1));  // left of the maze
  Pointer(MessageKind::PointerMove, PointerRight | PointerLeft, -40, 400);
  Pointer(MessageKind::PointerMove, PointerRight, 10, CellY(4));
  MoveTo(PointerRight, 4, 4);
  Release(PointerRight, 4, 4);
  expected[Index(3, 0)] = Wall;
  expected[Index(4, 4)] = Wall;
  EXPECT_EQ(expected, GridOf(App.Explorer));
  EXPECT_EQ(MapText(expected), MapContents());

  // After the release, or once the drag's button is up, moves paint nothing.
  MoveTo(PointerRight, 1, 0);
  Press(PointerRight, 9, 9);  // 5 is outside the cycle: it becomes an exit
  MoveTo(PointerLeft, 8, 9);
  MoveTo(PointerRight, 7, 9);
  expected[Index(9, 9)] = Exit;
  EXPECT_EQ(expected, GridOf(App.Explorer));
  EXPECT_EQ(MapText(expected), MapContents());
  EXPECT_TRUE(Notices().empty());
}

TEST_F(MazeEditingTest, ADragIsWrittenBeforeAnyCommandAndEndsWhenTheSearchMayRun) {
  Pointer(MessageKind::PointerDown, PointerLeft, 10, 10);  // beside the maze: no drag
  MoveTo(PointerLeft, 7, 9);
  Release(PointerLeft, 7, 9);

  Press(PointerLeft, 4, 9);
  MoveTo(PointerLeft, 5, 9);
  MainWindowProc(WindowMessage{MessageKind::KeyDown, KeyUp});  // any command
  Grid expected = kMap;
  expected[Index(4, 9)] = Open;
  expected[Index(5, 9)] = Open;
  EXPECT_EQ(MapText(expected), MapContents()) << "the drag was not written before the command";

  MainWindowProc(
      WindowMessage{MessageKind::KeyDown, KeyReturn});  // reloads, runs at the next frame
  MoveTo(PointerLeft, 6, 9);
  App.Explorer.Tick();
  MoveTo(PointerLeft, 7, 9);
  Release(PointerLeft, 7, 9);
  EXPECT_EQ(MapText(expected), MapContents());
  expected[Index(1, 0)] = Trail;  // the search's first move
  EXPECT_EQ(expected, GridOf(App.Explorer));
}

TEST_F(MazeEditingTest, AFailedWriteUndoesEachCellOfTheDragItDidNotSaveAndWarnsOnce) {
  Press(PointerLeft, 3, 3);
  chmod(map_.c_str(), 0444);
  for (int column = 4; column <= 7; ++column) MoveTo(PointerLeft, column, 3);
  EXPECT_EQ(Open, App.Explorer.grid[Index(7, 3)]) << "the screen shows the drag as it goes";
  Release(PointerLeft, 7, 3);

  const Grid pressed =
      WallsWith({{0, 0, Open}, {1, 0, Open}, {4, 4, DeadEnd}, {5, 5, -1}, {9, 9, 5}, {3, 3, Open}});
  EXPECT_EQ(pressed, GridOf(App.Explorer));
  EXPECT_EQ(MapText(pressed), MapContents());
  ASSERT_EQ(1u, Notices().size());
  EXPECT_EQ(NoticeKind::Warning, Notices()[0].first);
}

}  // namespace
