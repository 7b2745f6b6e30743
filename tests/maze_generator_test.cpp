// The maze generator: its random numbers, and the shape of the mazes it makes
// for a table of seeds and requests.
#include "explorer/maze_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "tests/explorer_fixtures.h"

namespace {

using explorer_test::Grid;
using explorer_test::Index;

TEST(SplitMix64Test, GivesThePublishedStream) {
  // The first outputs for seed 1234567 in the generator's reference code.
  SplitMix64 random(1234567);
  for (uint64_t expected : {6457827717110365317u, 3203168211198807973u, 9817491932198370423u,
                            4593380528125082431u, 16408922859458223821u}) {
    EXPECT_EQ(random.Next(), expected);
  }
}

TEST(SplitMix64Test, BelowStaysUnderItsBoundAndReachesEveryValue) {
  SplitMix64 random(42);
  for (uint32_t bound : {1u, 2u, 3u, 7u, 100u}) {
    std::vector<int> seen(bound);
    for (int draw = 0; draw < 2000; ++draw) {
      const uint32_t value = random.Below(bound);
      ASSERT_LT(value, bound);
      ++seen[value];
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 0), 0) << "bound " << bound;
  }
}

// The maze seen as a graph: open cells (any code but Wall) and the joins
// between side-by-side open cells.
struct MazeShape {
  int openCells = 0;
  int joins = 0;
  int reachable = 0;  // open cells reached from the start
  std::vector<int> distance = std::vector<int>(kCellCount, -1);
};

bool IsOpenAt(const Grid& grid, int x, int y) {
  return x >= 0 && x < kMazeSide && y >= 0 && y < kMazeSide && grid[Index(x, y)] != Wall;
}

int OpenNeighbours(const Grid& grid, int x, int y) {
  int count = 0;
  for (const HeadingStep& step : HeadingTable) count += IsOpenAt(grid, x + step.dx, y + step.dy);
  return count;
}

MazeShape ShapeOf(const Grid& grid) {
  MazeShape shape;
  for (int y = 0; y < kMazeSide; ++y) {
    for (int x = 0; x < kMazeSide; ++x) {
      if (!IsOpenAt(grid, x, y)) continue;
      ++shape.openCells;
      shape.joins += IsOpenAt(grid, x + 1, y) + IsOpenAt(grid, x, y + 1);
    }
  }
  if (!IsOpenAt(grid, 0, 0)) return shape;
  std::deque<int> queue = {Index(0, 0)};
  shape.distance[Index(0, 0)] = 0;
  while (!queue.empty()) {
    const int cell = queue.front();
    queue.pop_front();
    ++shape.reachable;
    for (const HeadingStep& step : HeadingTable) {
      const int x = cell % kMazeSide + step.dx, y = cell / kMazeSide + step.dy;
      if (!IsOpenAt(grid, x, y) || shape.distance[Index(x, y)] >= 0) continue;
      shape.distance[Index(x, y)] = shape.distance[cell] + 1;
      queue.push_back(Index(x, y));
    }
  }
  return shape;
}

Grid Generate(const MazeRequest& request) {
  int32_t cells[kCellCount];
  EXPECT_TRUE(GenerateMaze(request, cells));
  Grid grid;
  std::copy(std::begin(cells), std::end(cells), grid.begin());
  return grid;
}

struct GeneratorCase {
  int exits;
  int loops;
};

class MazeGeneratorTest : public testing::TestWithParam<GeneratorCase> {};

// Seeds small and large, 0 and the largest that --seed takes among them.
const uint64_t kSeeds[] = {
    0, 1, 2, 3, 17, 1000, 123456789, 1796953703709371165, 9223372036854775807};

TEST_P(MazeGeneratorTest, MakesAConnectedMazeWithTheExitsAndLoopsAsked) {
  const GeneratorCase& request = GetParam();
  for (uint64_t seed : kSeeds) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Grid grid = Generate({seed, request.exits, request.loops});
    EXPECT_EQ(grid[Index(0, 0)], Open) << "the start cell is open";
    for (int32_t code : grid) ASSERT_TRUE(code == Wall || code == Open || code == Exit) << code;

    const MazeShape shape = ShapeOf(grid);
    EXPECT_EQ(shape.reachable, shape.openCells) << "an open cell the start cannot reach";
    EXPECT_GE(shape.openCells, kCellCount / 2);
    // A connected graph's independent cycles: joins - cells + 1.
    EXPECT_EQ(shape.joins - shape.openCells + 1, request.loops);

    // The exits are dead ends, and no dead end lies farther from the start
    // than the nearest exit.
    int exits = 0, nearestExit = kCellCount, farthestOtherDeadEnd = -1;
    for (int y = 0; y < kMazeSide; ++y) {
      for (int x = 0; x < kMazeSide; ++x) {
        const int cell = Index(x, y);
        const bool deadEnd =
            cell != Index(0, 0) && IsOpenAt(grid, x, y) && OpenNeighbours(grid, x, y) == 1;
        if (grid[cell] == Exit) {
          ++exits;
          EXPECT_TRUE(deadEnd) << "exit at " << x << "," << y;
          nearestExit = std::min(nearestExit, shape.distance[cell]);
        } else if (deadEnd) {
          farthestOtherDeadEnd = std::max(farthestOtherDeadEnd, shape.distance[cell]);
        }
      }
    }
    EXPECT_EQ(exits, request.exits);
    if (exits > 0) {
      EXPECT_GE(nearestExit, farthestOtherDeadEnd);
    }

    // Corridors one cell wide: no 2 x 2 block of open cells.
    for (int y = 0; y + 1 < kMazeSide; ++y) {
      for (int x = 0; x + 1 < kMazeSide; ++x) {
        EXPECT_FALSE(IsOpenAt(grid, x, y) && IsOpenAt(grid, x + 1, y) && IsOpenAt(grid, x, y + 1) &&
                     IsOpenAt(grid, x + 1, y + 1))
            << "open block at " << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Requests, MazeGeneratorTest,
                         testing::Values(GeneratorCase{1, 0}, GeneratorCase{0, 0},
                                         GeneratorCase{3, 2}, GeneratorCase{0, kMaxLoops},
                                         GeneratorCase{kMaxExits, 0},
                                         GeneratorCase{kMaxExits, kMaxLoops}));

TEST(MazeGeneratorLimitsTest, EverySeedHoldsTheMostExitsAndLoops) {
  for (uint64_t seed = 0; seed < 300; ++seed) {
    int32_t grid[kCellCount];
    ASSERT_TRUE(GenerateMaze({seed, kMaxExits, kMaxLoops}, grid)) << "seed " << seed;
  }
}

TEST(MazeGeneratorSeedTest, LoopsAndExitsChangeNoWallOfTheCarving) {
  // The same seed carves the same maze whatever is asked of it after, as
  // long as its first carving holds the request: a maze liked with one exit
  // can be had with loops too.
  const Grid plain = Generate({17, 0, 0});
  const Grid varied = Generate({17, 2, 2});
  int opened = 0;
  for (int cell = 0; cell < kCellCount; ++cell) {
    if (plain[cell] != Wall) {
      EXPECT_NE(varied[cell], Wall) << "cell " << cell;
    }
    opened += plain[cell] == Wall && varied[cell] != Wall;
  }
  EXPECT_EQ(opened, 2);
}

}  // namespace
