#include "explorer/maze_generator.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>

uint64_t SplitMix64::Next() {
  state_ += 0x9E3779B97F4A7C15u;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

uint32_t SplitMix64::Below(uint32_t bound) {
  // 2^64 mod bound, computed in 64 bits: the outputs below it would make the
  // small remainders more likely than the others.
  const uint64_t skipped = (0 - static_cast<uint64_t>(bound)) % bound;
  uint64_t value = Next();
  while (value < skipped) value = Next();
  return static_cast<uint32_t>(value % bound);
}

namespace {

// Tries to make a maze before GenerateMaze gives up.
constexpr int kCarvings = 1000;
// A carving that opens fewer cells (a search that walled itself in early) is
// carved again: at least half the grid is maze.
constexpr int kLeastOpenCells = kCellCount / 2;

struct Cell {
  int x;
  int y;
};

Cell operator+(Cell cell, const HeadingStep& step) { return {cell.x + step.dx, cell.y + step.dy}; }

bool operator==(Cell a, Cell b) { return a.x == b.x && a.y == b.y; }

constexpr Cell kStart = {0, 0};

class MazeBuilder {
 public:
  MazeBuilder(int32_t (&grid)[kCellCount], SplitMix64& random) : grid_(grid), random_(random) {}

  // False when the maze has fewer than kLeastOpenCells open cells.
  bool Carve();
  bool KnockOutLoops(int loops);
  bool PlaceExits(int exits);

 private:
  bool Inside(Cell cell) const {
    return cell.x >= 0 && cell.x < kMazeSide && cell.y >= 0 && cell.y < kMazeSide;
  }
  int32_t& At(Cell cell) { return grid_[cell.x + kMazeSide * cell.y]; }
  // Outside the grid counts as wall.
  bool IsOpen(Cell cell) const {
    return Inside(cell) && grid_[cell.x + kMazeSide * cell.y] != Wall;
  }
  bool CanCarve(Cell from, const HeadingStep& step) const;
  int OpenNeighbours(Cell cell) const;
  bool JoinsTwoCorridors(Cell wall) const;
  std::vector<int> DistancesFromStart() const;

  int32_t (&grid_)[kCellCount];
  SplitMix64& random_;
};

// The cell one step from `from` may be opened when it is a wall and opening it
// joins no other corridor: the cells beside it and the three beyond it, seen
// from `from`, are walls. Corridors then stay one cell wide with walls
// between them, and the open cells stay a tree.
bool MazeBuilder::CanCarve(Cell from, const HeadingStep& step) const {
  const Cell cell = from + step;
  if (!Inside(cell) || IsOpen(cell)) return false;
  const HeadingStep side = {step.dy, step.dx, 0};
  const HeadingStep otherSide = {-step.dy, -step.dx, 0};
  const Cell ahead = cell + step;
  for (Cell near : {cell + side, cell + otherSide, ahead, ahead + side, ahead + otherSide}) {
    if (IsOpen(near)) return false;
  }
  return true;
}

// A randomized depth-first search from the start: from the cell on top of the
// stack, a random heading among those that can be carved, else back one cell.
bool MazeBuilder::Carve() {
  std::fill(std::begin(grid_), std::end(grid_), Wall);
  At(kStart) = Open;
  int openCells = 1;
  std::vector<Cell> stack = {kStart};
  while (!stack.empty()) {
    const Cell top = stack.back();
    std::vector<const HeadingStep*> ways;
    for (const HeadingStep& step : HeadingTable) {
      if (CanCarve(top, step)) ways.push_back(&step);
    }
    if (ways.empty()) {
      stack.pop_back();
      continue;
    }
    const Cell next = top + *ways[random_.Below(static_cast<uint32_t>(ways.size()))];
    At(next) = Open;
    ++openCells;
    stack.push_back(next);
  }
  return openCells >= kLeastOpenCells;
}

int MazeBuilder::OpenNeighbours(Cell cell) const {
  int count = 0;
  for (const HeadingStep& step : HeadingTable) count += IsOpen(cell + step) ? 1 : 0;
  return count;
}

// A wall open on two opposite sides and walled on the other two: knocking it
// out adds one cell and two joins, so one more way round.
bool MazeBuilder::JoinsTwoCorridors(Cell wall) const {
  if (IsOpen(wall) || OpenNeighbours(wall) != 2) return false;
  const bool acrossX = IsOpen(wall + HeadingTable[0]) && IsOpen(wall + HeadingTable[2]);
  const bool acrossY = IsOpen(wall + HeadingTable[1]) && IsOpen(wall + HeadingTable[3]);
  return acrossX || acrossY;
}

bool MazeBuilder::KnockOutLoops(int loops) {
  for (int loop = 0; loop < loops; ++loop) {
    std::vector<Cell> walls;
    for (int y = 0; y < kMazeSide; ++y) {
      for (int x = 0; x < kMazeSide; ++x) {
        if (JoinsTwoCorridors({x, y})) walls.push_back({x, y});
      }
    }
    if (walls.empty()) return false;
    At(walls[random_.Below(static_cast<uint32_t>(walls.size()))]) = Open;
  }
  return true;
}

// The length of the shortest way from the start to each cell, -1 where none.
std::vector<int> MazeBuilder::DistancesFromStart() const {
  std::vector<int> distance(kCellCount, -1);
  std::deque<Cell> queue = {kStart};
  distance[kStart.x + kMazeSide * kStart.y] = 0;
  while (!queue.empty()) {
    const Cell cell = queue.front();
    queue.pop_front();
    for (const HeadingStep& step : HeadingTable) {
      const Cell next = cell + step;
      if (!IsOpen(next) || distance[next.x + kMazeSide * next.y] >= 0) continue;
      distance[next.x + kMazeSide * next.y] = distance[cell.x + kMazeSide * cell.y] + 1;
      queue.push_back(next);
    }
  }
  return distance;
}

bool MazeBuilder::PlaceExits(int exits) {
  std::vector<Cell> deadEnds;
  for (int y = 0; y < kMazeSide; ++y) {
    for (int x = 0; x < kMazeSide; ++x) {
      const Cell cell = {x, y};
      if (!(cell == kStart) && IsOpen(cell) && OpenNeighbours(cell) == 1) deadEnds.push_back(cell);
    }
  }
  if (static_cast<int>(deadEnds.size()) < exits) return false;
  for (size_t i = deadEnds.size(); i > 1; --i) {
    std::swap(deadEnds[i - 1], deadEnds[random_.Below(static_cast<uint32_t>(i))]);
  }
  const std::vector<int> distance = DistancesFromStart();
  const auto farther = [&distance](Cell a, Cell b) {
    return distance[a.x + kMazeSide * a.y] > distance[b.x + kMazeSide * b.y];
  };
  std::stable_sort(deadEnds.begin(), deadEnds.end(), farther);
  for (int exit = 0; exit < exits; ++exit) At(deadEnds[exit]) = Exit;
  return true;
}

}  // namespace

bool GenerateMaze(const MazeRequest& request, int32_t (&grid)[kCellCount]) {
  SplitMix64 random(request.seed);
  MazeBuilder builder(grid, random);
  for (int carving = 0; carving < kCarvings; ++carving) {
    if (builder.Carve() && builder.KnockOutLoops(request.loops) &&
        builder.PlaceExits(request.exits)) {
      return true;
    }
  }
  return false;
}

uint64_t SeedFromClock() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  return static_cast<uint64_t>(nanoseconds) & kLargestSeed;
}
