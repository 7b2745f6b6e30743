// Reading the map file, and the explorer's accessors and freshly built state.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "explorer/maze_explorer.h"
#include "tests/explorer_fixtures.h"

namespace {

using explorer_test::FilledGrid;
using explorer_test::Grid;
using explorer_test::GridOf;
using explorer_test::MapText;
using explorer_test::ScratchDir;
using explorer_test::SetGrid;
using explorer_test::TakeSnapshot;

constexpr int32_t kUntouched = -7;  // a cell value no map below contains

// Cells 0..99 hold 0..99: a misplaced value shows where it went.
Grid Ascending() {
  Grid grid;
  for (int i = 0; i < kCellCount; ++i) grid[i] = i;
  return grid;
}

// `values` in the first cells, `rest` in all others.
Grid Prefix(const std::vector<int32_t>& values, int32_t rest) {
  Grid grid = FilledGrid(rest);
  std::copy(values.begin(), values.end(), grid.begin());
  return grid;
}

std::vector<int32_t> FirstOf(const Grid& grid, int count) {
  return std::vector<int32_t>(grid.begin(), grid.begin() + count);
}

// The same numbers with tabs between them and CRLF line ends.
std::string WithTabsAndCrLf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == ' ' ? "\t" : c == '\n' ? "\r\n" : std::string(1, c);
  return out;
}

// Five lines of ten values, a word, then the last fifty values.
std::string WordAs51stItem() {
  const std::string lines = MapText(Ascending());
  size_t cut = 0;
  for (int line = 0; line < 5; ++line) cut = lines.find('\n', cut) + 1;
  return lines.substr(0, cut) + "wall " + lines.substr(cut);
}

struct LoadCase {
  const char* name;
  std::optional<std::string> contents;  // no file at all when empty
  std::optional<int32_t> before;        // every cell, in the middle of a search; empty: start-up
  Grid expected;
  int filled;  // cells read from the file
};

void PrintTo(const LoadCase& c, std::ostream* out) { *out << c.name; }

const LoadCase kLoadCases[] = {
    {"TenLinesOfTen", MapText(Ascending()), kUntouched, Ascending(), 100},
    {"OneLineOfHundred", MapText(Ascending(), kCellCount), kUntouched, Ascending(), 100},
    {"TabsAndCrLf", WithTabsAndCrLf(MapText(Ascending())), kUntouched, Ascending(), 100},
    {"NoNewlineAfterLastValue", MapText(Ascending()).substr(0, MapText(Ascending()).size() - 1),
     kUntouched, Ascending(), 100},
    {"AnythingAfterHundredthValueIgnored", MapText(Ascending()) + "junk 42\n", kUntouched,
     Ascending(), 100},
    {"ThreeOnesAtStartUp", "1 1 1\n", std::nullopt, Prefix({Open, Open, Open}, Wall), 3},
    {"MissingFileAtStartUp", std::nullopt, std::nullopt, FilledGrid(Wall), 0},
    {"MissingFileKeepsEveryCell", std::nullopt, kUntouched, FilledGrid(kUntouched), 0},
    {"EmptyFile", "", kUntouched, FilledGrid(kUntouched), 0},
    {"WordAs51stItem", WordAs51stItem(), kUntouched, Prefix(FirstOf(Ascending(), 50), kUntouched),
     50},
    {"UnknownCodesStoredUnchanged", "5 -1 100 8\n", kUntouched, Prefix({5, -1, 100, 8}, kUntouched),
     4},
    {"TooLargeForIntFailsThatCellAndLater", "1 99999999999 1 1\n", kUntouched,
     Prefix({1}, kUntouched), 1},
    {"ByteOrderMarkSkipped",
     "\xEF\xBB\xBF"
     "1 1 9\r\n",
     kUntouched, Prefix({Open, Open, Exit}, kUntouched), 3},
    {"ByteOrderMarkOnlyAtTheVeryStart",
     " \xEF\xBB\xBF"
     "1 1 9\n",
     kUntouched, FilledGrid(kUntouched), 0},
    {"PartOfAByteOrderMarkFailsAsItsFirstByteWould",
     "\xEF\xBB"
     "1 1 9\n",
     kUntouched, FilledGrid(kUntouched), 0},
};

class LoadMazeTest : public ::testing::TestWithParam<LoadCase> {
 protected:
  ScratchDir dir;
  MazeExplorer explorer;
};

TEST_P(LoadMazeTest, ReadsCellsUpToFirstFailureAndPutsExplorerOnStartPaused) {
  const LoadCase& c = GetParam();
  const std::string message = c.before ? "said before the load" : "";
  if (c.before) {  // somewhere in the middle of an earlier search
    SetGrid(explorer, FilledGrid(*c.before));
    explorer.path.push(Pose{});
    explorer.path.push(Pose{1, 0, 0, 0, 0});
    explorer.pose = Pose{1, 0, 2, 95, 0};
    explorer.state = Retreating;
    explorer.SetMessage(message.c_str());
  }

  const std::string file =
      c.contents ? dir.Write("MazeMap.txt", *c.contents) : dir.PathOf("missing.txt");
  EXPECT_TRUE(explorer.LoadMaze(file.c_str()));

  EXPECT_EQ(c.expected, GridOf(explorer));
  EXPECT_EQ(std::vector<Pose>{Pose{}}, TakeSnapshot(explorer).path);
  EXPECT_EQ(Pose{}, explorer.pose);
  EXPECT_EQ(Choosing, explorer.state);
  EXPECT_EQ(1, explorer.paused);
  EXPECT_EQ(message, explorer.message);
}

TEST_P(LoadMazeTest, StreamFillsTheSameCellsAndCountsThem) {
  const LoadCase& c = GetParam();
  if (!c.contents) GTEST_SKIP() << "a missing file has no stream";
  SetGrid(explorer, FilledGrid(c.before.value_or(Wall)));
  std::istringstream map(*c.contents);

  EXPECT_EQ(c.filled, explorer.LoadMazeFrom(map));

  EXPECT_EQ(c.expected, GridOf(explorer));
  EXPECT_EQ(std::vector<Pose>{Pose{}}, TakeSnapshot(explorer).path);
  EXPECT_EQ(Choosing, explorer.state);
  EXPECT_EQ(1, explorer.paused);
}

INSTANTIATE_TEST_SUITE_P(MapFiles, LoadMazeTest, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadMazeFromTest, LeavesWhatFollowsTheHundredthValueUnread) {
  MazeExplorer explorer;
  std::istringstream map(MapText(Ascending()) + "42 43\n");

  EXPECT_EQ(kCellCount, explorer.LoadMazeFrom(map));

  int next = 0;
  EXPECT_TRUE(map >> next);
  EXPECT_EQ(42, next);
}

// The cells that `>>` fills, int by int into a temporary up to the first
// failure, on a grid of kUntouched; and how many.
std::pair<Grid, int> PlainRead(const std::string& text) {
  Grid grid = FilledGrid(kUntouched);
  std::istringstream map(text);
  int filled = 0;
  for (int32_t& cell : grid) {
    int value;
    if (!(map >> value)) break;
    cell = value;
    ++filled;
  }
  return {grid, filled};
}

TEST(LoadMazeFromTest, ReadsEveryIntAsThePlainReadDoesThoughItGivesUpEarly) {
  const std::string zeros(100, '0');
  const std::string tokens[] = {
      "2147483647", "2147483648", "+2147483647", "-2147483648", "-2147483649", "4294967296",
      "9223372036854775807", "9223372036854775808", "-9223372036854775809", std::string(1000, '7'),
      "-" + std::string(1000, '7'),
      // However many leading zeros, the number may fit.
      zeros, zeros + "1", zeros + "2147483647", zeros + "2147483648", "-" + zeros + "2147483648",
      "-" + zeros + "2147483649", "+" + zeros + "12", "-0", "+0", "-", "+", "+-1", "--1", "- 1",
      "1-2+3", "12x", "0x10", "1.5", "1e3", " \t\n\v\f\r7\r\n", "", " "};
  for (const std::string& token : tokens) {
    // Alone, and between two numbers: what is read after it shows where the
    // read stopped.
    for (const std::string& text : {token, "5 " + token + " 6 7"}) {
      SCOPED_TRACE(text.substr(0, 40));
      MazeExplorer explorer;
      SetGrid(explorer, FilledGrid(kUntouched));
      std::istringstream map(text);

      const int filled = explorer.LoadMazeFrom(map);

      const auto [grid, plainFilled] = PlainRead(text);
      EXPECT_EQ(plainFilled, filled);
      EXPECT_EQ(grid, GridOf(explorer));
    }
  }
}

// An endless run of digits, which counts the characters taken from it.
class EndlessDigits : public std::streambuf {
 public:
  explicit EndlessDigits(char digit) : digit_(digit) {}
  long taken() const { return taken_; }

 protected:
  int_type underflow() override {
    ++taken_;
    setg(&digit_, &digit_, &digit_ + 1);
    return traits_type::to_int_type(digit_);
  }

 private:
  char digit_;
  long taken_ = 0;
};

TEST(LoadMazeFromTest, GivesUpAnEndlessRunOfDigitsWithinAFewCharacters) {
  for (char digit : {'1', '9'}) {
    SCOPED_TRACE(digit);
    EndlessDigits digits(digit);
    std::istream map(&digits);
    MazeExplorer explorer;

    EXPECT_EQ(0, explorer.LoadMazeFrom(map));

    EXPECT_LE(digits.taken(), 12);
    EXPECT_EQ(FilledGrid(Wall), GridOf(explorer));
  }
}

TEST(LoadMazeSpecialFileTest, PathsThatAreNotRegularFilesReadAsMissingFilesWithoutBlocking) {
  ScratchDir dir;
  test_files::WatchedFifo fifo(dir.PathOf("MazeMap.txt"));
  for (const std::string& path : {fifo.path(), dir.PathOf("")}) {  // a FIFO, a directory
    SCOPED_TRACE(path);
    MazeExplorer explorer;
    SetGrid(explorer, FilledGrid(Open));

    EXPECT_TRUE(explorer.LoadMaze(path.c_str()));

    EXPECT_EQ(FilledGrid(Open), GridOf(explorer));
    EXPECT_EQ(Choosing, explorer.state);
    EXPECT_EQ(1, explorer.paused);
  }
  EXPECT_FALSE(fifo.WasOpenedForReading());
}

TEST(LoadMazeReloadTest, MissingFileKeepsFinishedSearchMarksWhichBlockTheNextSearch) {
  ScratchDir dir;
  MazeExplorer explorer;
  // East of the start a two-cell dead end, north the way to the exit. The
  // first cell east leads back into the start, so only the second is DeadEnd.
  explorer_test::LoadGrid(
      explorer, dir,
      explorer_test::WallsWith(
          {{0, 0, Open}, {1, 0, Open}, {2, 0, Open}, {0, 1, Open}, {0, 2, Exit}}));
  explorer.SetPaused(false);
  explorer_test::SearchRecorder search(explorer);
  ASSERT_TRUE(search.RunUntilOver(10000));
  ASSERT_EQ(FoundExit, explorer.state);
  const Grid searched = explorer_test::WallsWith(
      {{0, 0, Trail}, {1, 0, Trail}, {2, 0, DeadEnd}, {0, 1, Trail}, {0, 2, Exit}});
  ASSERT_EQ(searched, GridOf(explorer));

  explorer.LoadMaze(dir.PathOf("missing.txt").c_str());
  EXPECT_EQ(searched, GridOf(explorer));

  explorer.SetPaused(false);
  ASSERT_TRUE(search.RunUntilOver(20000));
  EXPECT_EQ(NoExit, explorer.state);
}

// --- Writing the map file -----------------------------------------------------

TEST(SaveMazeTest, WritesTenLinesRowZeroFirstThatReadBackToTheSameGrid) {
  ScratchDir dir;
  MazeExplorer written;
  // Every code a map may hold, the search's marks and numbers outside every
  // cycle among them; cell index i + 10 * row shows where a value went.
  Grid grid = Ascending();
  grid[0] = -7;
  grid[1] = 100;
  grid[2] = 2147483647;
  SetGrid(written, grid);
  const std::string file = dir.PathOf("MazeMap.txt");
  std::string error;

  ASSERT_TRUE(written.SaveMaze(file.c_str(), &error)) << error;

  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "-7 100 2147483647 3 4 5 6 7 8 9\n");
  EXPECT_EQ(text.substr(text.size() - 31), "\n90 91 92 93 94 95 96 97 98 99\n");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kMazeSide);
  MazeExplorer read;
  read.LoadMaze(file.c_str());
  EXPECT_EQ(grid, GridOf(read));
}

TEST(SaveMazeTest, AFileThatCannotBeWrittenStaysAsItWas) {
  ScratchDir dir;
  const std::string before = MapText(explorer_test::WallsWith({{0, 0, Open}}));
  const std::string file = dir.Write("MazeMap.txt", before);
  std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  MazeExplorer explorer;
  SetGrid(explorer, FilledGrid(Exit));
  std::string error;

  EXPECT_FALSE(explorer.SaveMaze(file.c_str(), &error));

  EXPECT_EQ(error, "the file is read-only");
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(before,
            std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

// --- The click cycle -----------------------------------------------------------

TEST(CycledCodeTest, LeftGoesWallOpenExitRightGoesBackOtherCodesBecomeWallOrExit) {
  struct Case {
    int32_t code;
    int32_t forward;   // left click
    int32_t backward;  // right click
  };
  const Case cases[] = {
      {Wall, Open, Exit},    {Open, Exit, Wall},  {Exit, Wall, Open},
      {DeadEnd, Wall, Exit}, {Trail, Wall, Exit}, {Marker, Wall, Exit},
      {5, Wall, Exit},       {-1, Wall, Exit},    {100, Wall, Exit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(c.forward, CycledCode(c.code, CycleDirection::Forward));
    EXPECT_EQ(c.backward, CycledCode(c.code, CycleDirection::Backward));
  }
}

TEST(IsWaitingAtStartTest, FromALoadUntilTheFirstTickThatRuns) {
  ScratchDir dir;
  MazeExplorer explorer;
  EXPECT_FALSE(explorer.IsWaitingAtStart());  // nothing loaded

  explorer_test::LoadGrid(explorer, dir, explorer_test::WallsWith({{0, 0, Open}}));
  EXPECT_TRUE(explorer.IsWaitingAtStart());
  explorer.Tick();  // paused: nothing moves
  explorer.SetPaused(false);
  explorer.SetPaused(true);
  EXPECT_TRUE(explorer.IsWaitingAtStart());

  explorer.SetPaused(false);
  explorer.Tick();  // the first probe: the heading moves on to north
  explorer.SetPaused(true);
  EXPECT_FALSE(explorer.IsWaitingAtStart());

  explorer.LoadMaze(dir.PathOf("MazeMap.txt").c_str());
  EXPECT_TRUE(explorer.IsWaitingAtStart());
}

TEST(EditModeMessageTest, SaysHowToEditWhileWaitingAtStartAndRestsOtherwise) {
  ScratchDir dir;
  MazeExplorer explorer;
  explorer.editMode = true;
  explorer_test::LoadGrid(explorer, dir, explorer_test::WallsWith({{0, 0, Open}}));

  explorer.Tick();
  EXPECT_STREQ(kEditMessage, explorer.message);
  EXPECT_STREQ("Click cells to draw; Return runs the maze", explorer.message);

  explorer.SetPaused(false);
  explorer.Tick();
  EXPECT_STREQ(explorer_test::kSaysNextHeading, explorer.message);
  explorer.SetPaused(true);
  explorer.Tick();
  EXPECT_STREQ(explorer_test::kSaysRest, explorer.message);
}

TEST(CellAtTest, TakesRowThenColumn) {
  MazeExplorer explorer;
  SetGrid(explorer, Ascending());
  EXPECT_EQ(90, explorer.CellAt(9, 0));
  EXPECT_EQ(9, explorer.CellAt(0, 9));
  EXPECT_EQ(37, explorer.CellAt(3, 7));
}

TEST(CellAtTest, AnswersWallForEveryPositionOutsideTheGrid) {
  MazeExplorer explorer;
  SetGrid(explorer, FilledGrid(Open));
  // (row, column); some of them would hit a cell if only the index were checked.
  const std::pair<int, int> outside[] = {{-1, 0}, {10, 0}, {0, -1}, {0, 10},
                                         {1, -1}, {-1, 5}, {9, 10}, {10, 10}};
  for (const auto& [y, x] : outside) {
    EXPECT_EQ(Wall, explorer.CellAt(y, x)) << "row " << y << ", column " << x;
  }
}

// A text of `length` characters that shows where it was cut.
std::string Letters(size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}

TEST(SetMessageTest, KeepsAtMost255CharactersAndTheNul) {
  const size_t lengths[] = {0, 39, 254, 255, 256, 300};
  for (size_t length : lengths) {
    SCOPED_TRACE(length);
    MazeExplorer explorer;
    explorer.SetMessage(Letters(255).c_str());
    explorer.SetMessage(Letters(length).c_str());
    const size_t kept = std::min<size_t>(length, kMessageSize - 1);
    EXPECT_EQ(Letters(kept), explorer.message);
    EXPECT_EQ('\0', explorer.message[kept]);
  }
}

TEST(SetPausedTest, ChangesOnlyThePauseFlag) {
  ScratchDir dir;
  MazeExplorer explorer;
  explorer_test::LoadGrid(explorer, dir, explorer_test::WallsWith({{0, 0, Open}, {1, 0, Open}}));
  explorer.SetPaused(false);
  explorer_test::SearchRecorder(explorer).Run(12);  // in the middle of the first move
  const explorer_test::Snapshot before = TakeSnapshot(explorer);

  for (bool paused : {true, true, false, false, true}) {
    explorer.SetPaused(paused);
    const explorer_test::Snapshot after = TakeSnapshot(explorer);
    EXPECT_EQ(paused ? 1 : 0, after.paused);
    explorer_test::ExpectSameSearch(before, after);
    EXPECT_EQ(before.message, after.message);
  }
}

TEST(FreshExplorerTest, IsAllZeroAndTickChangesNothing) {
  MazeExplorer explorer;
  const explorer_test::Snapshot zero{{}, FilledGrid(Wall), Pose{}, 0, 0, ""};
  for (int tick = 0; tick < 3; ++tick) {
    const explorer_test::Snapshot now = TakeSnapshot(explorer);
    explorer_test::ExpectSameSearch(zero, now);
    EXPECT_EQ(0, now.paused);
    EXPECT_EQ("", now.message);
    EXPECT_TRUE(explorer.Tick());
  }
}

}  // namespace
