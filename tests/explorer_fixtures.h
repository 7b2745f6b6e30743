// Helpers shared by the explorer tests: the status messages, small grids,
// map files in a scratch directory, a frame-by-frame recorder of the search
// and snapshots of the explorer's members.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "explorer/maze_explorer.h"
#include "tests/scratch_dir.h"

inline bool operator==(const Pose& a, const Pose& b) {
  return std::tie(a.x, a.y, a.heading, a.angle, a.progress) ==
         std::tie(b.x, b.y, b.heading, b.angle, b.progress);
}

inline std::ostream& operator<<(std::ostream& out, const Pose& pose) {
  return out << "(x " << pose.x << ", y " << pose.y << ", heading " << pose.heading << ", angle "
             << pose.angle << ", progress " << pose.progress << ")";
}

namespace explorer_test {

// The explorer's seven status messages, byte for byte.
inline constexpr char kSaysRest[] = "I think I must have a rest Z...ZZ.....";
inline constexpr char kSaysTurnRight[] = "I like turn to Right first! :-)";
inline constexpr char kSaysCanMove[] = "I see next position can move";
inline constexpr char kSaysNextHeading[] = "Let me  try to next directory!";
inline constexpr char kSaysGoBack[] = "There are no way ,I should go back now!";
inline constexpr char kSaysFoundExit[] = "Ha ha! I find the maze's exit!! Yeah!";
inline constexpr char kSaysNoExit[] = "It's so bad the maze has no exit!!";

using Grid = std::array<int32_t, kCellCount>;

constexpr int Index(int x, int y) { return x + kMazeSide * y; }

inline Grid FilledGrid(int32_t code) {
  Grid grid;
  grid.fill(code);
  return grid;
}

struct PlacedCell {
  int x;
  int y;
  int32_t code;
};

// All Wall except the cells listed.
inline Grid WallsWith(std::initializer_list<PlacedCell> cells) {
  Grid grid = FilledGrid(Wall);
  for (const PlacedCell& cell : cells) grid[Index(cell.x, cell.y)] = cell.code;
  return grid;
}

// The grid as map file text, `perLine` values to a line, each line ended.
inline std::string MapText(const Grid& grid, int perLine = kMazeSide) {
  std::string text;
  for (int i = 0; i < kCellCount; ++i) {
    text += std::to_string(grid[i]);
    text += (i + 1) % perLine == 0 ? '\n' : ' ';
  }
  return text;
}

inline Grid GridOf(const MazeExplorer& explorer) {
  Grid grid;
  std::copy(std::begin(explorer.grid), std::end(explorer.grid), grid.begin());
  return grid;
}

inline void SetGrid(MazeExplorer& explorer, const Grid& grid) {
  std::copy(grid.begin(), grid.end(), std::begin(explorer.grid));
}

using test_files::ScratchDir;

// Loads `grid` through a map file, as the program does.
inline void LoadGrid(MazeExplorer& explorer, const ScratchDir& dir, const Grid& grid) {
  explorer.LoadMaze(dir.Write("MazeMap.txt", MapText(grid)).c_str());
}

inline bool IsOver(ExplorerState state) { return state == FoundExit || state == NoExit; }

// What one Tick left behind; frames are numbered from 1.
struct Frame {
  ExplorerState state;
  Pose pose;
  size_t pathSize;
  std::string messageSet;  // what the frame wrote to the message; empty if nothing
};

// Ticks the explorer and records every frame. The message is cleared before
// each Tick, so a record tells exactly which frames set which message.
class SearchRecorder {
 public:
  explicit SearchRecorder(MazeExplorer& explorer) : explorer_(explorer) {}

  void Run(int count) {
    for (int i = 0; i < count; ++i) Step();
  }

  // Runs until the search is over (FoundExit or NoExit) or `limit` frames in
  // all have been recorded. True if it is over.
  bool RunUntilOver(int limit) {
    while (!IsOver(explorer_.state) && static_cast<int>(frames_.size()) < limit) Step();
    return IsOver(explorer_.state);
  }

  const std::vector<Frame>& frames() const { return frames_; }
  const Frame& At(int number) const { return frames_.at(number - 1); }
  int LastNumber() const { return static_cast<int>(frames_.size()); }

  // The number of the first frame that matches, 0 if none does.
  int FirstWhere(const std::function<bool(const Frame&)>& matches) const {
    for (int n = 1; n <= LastNumber(); ++n) {
      if (matches(At(n))) return n;
    }
    return 0;
  }

  // (frame number, message) of the frames from `from` to `to` that set one.
  std::vector<std::pair<int, std::string>> MessagesSet(int from, int to) const {
    std::vector<std::pair<int, std::string>> set;
    for (int n = from; n <= to; ++n) {
      if (!At(n).messageSet.empty()) set.emplace_back(n, At(n).messageSet);
    }
    return set;
  }

 private:
  void Step() {
    explorer_.SetMessage("");
    explorer_.Tick();
    frames_.push_back(
        Frame{explorer_.state, explorer_.pose, explorer_.path.size(), explorer_.message});
  }

  MazeExplorer& explorer_;
  std::vector<Frame> frames_;
};

// Every member of an explorer, the path stack bottom entry first.
struct Snapshot {
  std::vector<Pose> path;
  Grid grid;
  Pose pose;
  int32_t state;
  int32_t paused;
  std::string message;
};

inline Snapshot TakeSnapshot(const MazeExplorer& explorer) {
  Snapshot snapshot{
      {}, GridOf(explorer), explorer.pose, explorer.state, explorer.paused, explorer.message};
  for (PathStack rest = explorer.path; !rest.empty(); rest.pop()) {
    snapshot.path.insert(snapshot.path.begin(), rest.top());
  }
  return snapshot;
}

// The search itself (path, grid, pose, state) is the same in both.
inline void ExpectSameSearch(const Snapshot& expected, const Snapshot& actual) {
  EXPECT_EQ(expected.path, actual.path);
  EXPECT_EQ(expected.grid, actual.grid);
  EXPECT_EQ(expected.pose, actual.pose);
  EXPECT_EQ(expected.state, actual.state);
}

}  // namespace explorer_test
