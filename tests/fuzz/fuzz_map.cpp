// Fuzz target for the map reader and the search that runs on what it read.
//
// Each input is a map file. The explorer loads it, which must fill the cells
// that the plain read of every int fills, is resumed, and steps up
// to kMaxTicks ticks (Tick draws nothing). After every tick the pose, the
// state, the path stack, the grid and the message must be ones the search can
// reach; the path stack is checked as a whole at the end.
#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <string>

#include "explorer/maze_explorer.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Long enough to walk, turn and back out through a good part of any maze;
// an all-open maze takes about 21700 ticks to finish.
constexpr int kMaxTicks = 3000;
// The start entry, then one entry per cell entered: every cell once and the
// start cell a second time.
constexpr size_t kMaxPathEntries = kCellCount + 1;

using Grid = std::array<int32_t, kCellCount>;

Grid GridOf(const MazeExplorer& explorer) {
  Grid grid;
  std::copy(std::begin(explorer.grid), std::end(explorer.grid), grid.begin());
  return grid;
}

bool InGrid(const Pose& pose) {
  return pose.x >= 0 && pose.x < kMazeSide && pose.y >= 0 && pose.y < kMazeSide;
}

bool IsLegalPose(const Pose& pose) {
  return InGrid(pose) && pose.heading >= 0 && pose.heading <= kLastHeading && pose.angle >= 0 &&
         pose.angle <= 270 && pose.angle % kTurnStep == 0 && pose.progress >= 0 &&
         pose.progress <= kCellTicks;
}

// A path entry is the pose with which a cell was entered: heading 0, progress 0.
bool IsLegalEntry(const Pose& entry) {
  return IsLegalPose(entry) && entry.heading == 0 && entry.progress == 0;
}

bool SameCell(const Pose& a, const Pose& b) { return a.x == b.x && a.y == b.y; }

// True when `cell` is the neighbour of `pose` along the pose's heading.
bool IsAhead(const Pose& pose, const Pose& cell) {
  return SameCell(pose + HeadingTable[pose.heading], cell);
}

bool IsStartPose(const Pose& pose) {
  return pose.x == 0 && pose.y == 0 && pose.heading == 0 && pose.angle == 0 && pose.progress == 0;
}

// A plain loop rather than strcmp: the sanitizers' strcmp hooks would cost
// more than the search itself, as this runs after every tick.
bool SameText(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == '\0') return true;
  }
  return false;
}

// The message must be one of the search's own texts, which also shows that
// it is NUL-terminated within the buffer. `lastKnown` is the text it matched
// last time, tried first since most ticks keep the message.
void CheckMessage(const MazeExplorer& explorer, const char*& lastKnown) {
  static const char* const kMessages[] = {
      kRestMessage,   kTurnRightMessage, kCanMoveMessage, kNextHeadingMessage,
      kGoBackMessage, kFoundExitMessage, kNoExitMessage,
  };
  if (SameText(explorer.message, lastKnown)) return;
  const auto found =
      std::find_if(std::begin(kMessages), std::end(kMessages),
                   [&explorer](const char* known) { return SameText(explorer.message, known); });
  FUZZ_REQUIRE(found != std::end(kMessages));
  lastKnown = *found;
}

// The search writes two things only: entering an Open cell marks it Trail, and
// backing out of a Trail cell marks it DeadEnd. Exit cells and all other
// codes read from the map stay as they are. `seen` holds the grid as the
// previous tick left it, and is brought up to date.
void CheckGridChange(Grid& seen, const MazeExplorer& explorer) {
  if (std::equal(seen.begin(), seen.end(), std::begin(explorer.grid))) return;
  int changed = 0;
  for (int i = 0; i < kCellCount; ++i) {
    const int32_t before = seen[i];
    const int32_t after = explorer.grid[i];
    if (before == after) continue;
    ++changed;
    FUZZ_REQUIRE((before == Open && after == Trail) || (before == Trail && after == DeadEnd));
    seen[i] = after;
  }
  FUZZ_REQUIRE(changed == 1);
}

// What each state says about the pose and the top of the path stack.
void CheckStateAndPathTop(const MazeExplorer& explorer) {
  const Pose& pose = explorer.pose;
  const PathStack& path = explorer.path;
  FUZZ_REQUIRE(IsLegalPose(pose));
  FUZZ_REQUIRE(path.size() <= kMaxPathEntries);
  if (!path.empty()) FUZZ_REQUIRE(IsLegalEntry(path.top()));
  switch (explorer.state) {
    case Choosing:  // standing on the cell of the top entry
      FUZZ_REQUIRE(!path.empty() && SameCell(pose, path.top()) && pose.progress == 0);
      break;
    case Advancing:  // facing the cell of the top entry, moving into it
      FUZZ_REQUIRE(!path.empty() && IsAhead(pose, path.top()) && pose.progress >= 1);
      FUZZ_REQUIRE(pose.angle == HeadingTable[pose.heading].angle);
      break;
    case Retreating:  // leaving a dead end for the cell of the top entry
      FUZZ_REQUIRE(!path.empty() && IsAhead(pose, path.top()) && pose.progress >= 1);
      FUZZ_REQUIRE(explorer.CellAt(pose.y, pose.x) == DeadEnd);
      break;
    case FoundExit:  // standing on an exit, at rest
      FUZZ_REQUIRE(!path.empty() && SameCell(pose, path.top()));
      FUZZ_REQUIRE(explorer.CellAt(pose.y, pose.x) == Exit);
      FUZZ_REQUIRE(pose.heading == 0 && pose.progress == 0);
      break;
    case NoExit:  // every heading of the start cell tried, facing south
      FUZZ_REQUIRE(path.empty() && pose.x == 0 && pose.y == 0);
      FUZZ_REQUIRE(pose.heading == kLastHeading && pose.angle == HeadingTable[kLastHeading].angle);
      break;
    default:
      FUZZ_REQUIRE(!"state out of range");
  }
}

// The heading that leads from `from` to its neighbour `to`; -1 when the two
// cells are not neighbours.
int HeadingBetween(const Pose& from, const Pose& to) {
  for (Heading heading = 0; heading <= kLastHeading; ++heading) {
    if (SameCell(from + HeadingTable[heading], to)) return heading;
  }
  return -1;
}

// The path as a whole: the start entry at the bottom, then a chain of
// neighbouring cells, each facing the way it was entered from the one below
// and marked Trail, except an exit on top.
void CheckWholePath(const MazeExplorer& explorer) {
  PathStack path = explorer.path;
  for (bool isTop = true; path.size() > 1; isTop = false) {
    const Pose entry = path.top();
    path.pop();
    const int heading = HeadingBetween(path.top(), entry);
    FUZZ_REQUIRE(IsLegalEntry(entry) && heading >= 0);
    FUZZ_REQUIRE(entry.angle == HeadingTable[heading].angle);
    const int cell = explorer.CellAt(entry.y, entry.x);
    FUZZ_REQUIRE(cell == Trail || (isTop && cell == Exit));
  }
  if (!path.empty()) FUZZ_REQUIRE(IsStartPose(path.top()));
}

// LoadMaze puts the explorer on its start entry, Choosing and paused, and a
// paused tick changes nothing but the message.
void CheckLoadedAndPaused(MazeExplorer& explorer) {
  FUZZ_REQUIRE(explorer.path.size() == 1 && IsStartPose(explorer.path.top()));
  FUZZ_REQUIRE(IsStartPose(explorer.pose) && explorer.state == Choosing && explorer.paused == 1);
  const Grid loaded = GridOf(explorer);
  FUZZ_REQUIRE(!explorer.Tick());
  FUZZ_REQUIRE(std::strcmp(explorer.message, kRestMessage) == 0);
  FUZZ_REQUIRE(IsStartPose(explorer.pose) && explorer.state == Choosing);
  FUZZ_REQUIRE(explorer.path.size() == 1 && GridOf(explorer) == loaded);
}

bool IsFinal(ExplorerState state) { return state == FoundExit || state == NoExit; }

// The grid that the plain `>>` read of every int gives, into a temporary up
// to the first failure, after a UTF-8 byte-order mark at the start: the map
// reader gives up long numbers early but must store the same cells.
Grid PlainRead(const uint8_t* data, size_t size) {
  static const char kByteOrderMark[] = "\xEF\xBB\xBF";
  std::string text(reinterpret_cast<const char*>(data), size);
  if (text.compare(0, 3, kByteOrderMark) == 0) text.erase(0, 3);
  std::istringstream map(text);
  Grid grid{};
  for (int32_t& cell : grid) {
    int value;
    if (!(map >> value)) break;
    cell = value;
  }
  return grid;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::InputFile mapFile("pathwick-map");
  mapFile.Write(data, size);

  MazeExplorer explorer;
  FUZZ_REQUIRE(explorer.LoadMaze(mapFile.Path()));
  FUZZ_REQUIRE(GridOf(explorer) == PlainRead(data, size));
  CheckLoadedAndPaused(explorer);
  explorer.SetPaused(false);

  Grid seen = GridOf(explorer);
  const char* lastMessage = kRestMessage;
  for (int tick = 0; tick < kMaxTicks; ++tick) {
    const ExplorerState previous = explorer.state;
    FUZZ_REQUIRE(explorer.Tick());
    CheckGridChange(seen, explorer);
    CheckStateAndPathTop(explorer);
    CheckMessage(explorer, lastMessage);
    // A finished search stays finished and repeats its last word; one tick
    // after the end shows that.
    if (IsFinal(previous)) {
      FUZZ_REQUIRE(explorer.state == previous);
      FUZZ_REQUIRE(
          SameText(explorer.message, previous == FoundExit ? kFoundExitMessage : kNoExitMessage));
      break;
    }
  }
  CheckWholePath(explorer);
  return 0;
}
