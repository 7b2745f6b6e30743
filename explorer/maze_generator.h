// New mazes for the explorer, made from a seed: pathwick-maze's generator,
// and the program's N key.
//
// The maze is a grid of the explorer's cells, walls being cells too. The same
// seed and request (seed, exits and loops together) give the same grid on
// every system and in every build: the random numbers come from the
// generator below, whose output this file defines, and never from the
// standard library's distributions or rand(), whose outputs differ between
// libraries. A seed fixes nothing beyond its request: the same seed with
// other exits or loops may carve other corridors (see kMaxExits), so it is
// not the same maze with more knocked out.
#pragma once

#include <cstdint>

#include "explorer/maze_explorer.h"

// SplitMix64 (Steele, Lea and Flood, "Fast splittable pseudorandom number
// generators", 2014, as published by Vigna): the state advances by the
// golden-ratio constant 0x9E3779B97F4A7C15 and each output is the state mixed
// by two xor-shift-multiply rounds. Every seed, 0 included, gives a good stream.
class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}

  uint64_t Next();
  // A number from 0 to bound - 1 (bound > 0), each equally likely: outputs in
  // the incomplete last run of `bound` numbers below 2^64 are drawn again.
  uint32_t Below(uint32_t bound);

 private:
  uint64_t state_;
};

// The most exits and loops that a maze can be asked for: the generator
// always finds one that holds them. A carving that holds fewer dead ends
// than exits, or fewer walls to knock out than loops, is carved again from
// the same random stream; near these limits that is common.
constexpr int kMaxExits = 5;
constexpr int kMaxLoops = 8;

// The seeds that pathwick-maze's --seed takes and that the program's new
// mazes (the N key) are drawn from: 0 to 2^63 - 1, so that every maze shown
// can be made again from the command line.
constexpr uint64_t kLargestSeed = 9223372036854775807u;

// A seed taken from the system clock (its nanoseconds, cut to the seeds
// above): a new one at every call, for a maze nobody asked for by number.
uint64_t SeedFromClock();

struct MazeRequest {
  uint64_t seed = 0;
  int exits = 1;  // 0 to kMaxExits
  int loops = 0;  // 0 to kMaxLoops
};

// Makes the maze of `request` into `grid` (row 0 first, as the explorer holds
// it): corridors one cell wide, with a wall between corridors that do not
// join, carved from the start cell (column 0, row 0) by a randomized
// depth-first search, so every open cell can be reached from the start.
// Then `loops` walls that stand between two corridors, open on both sides
// and walled on the other two, are knocked out, each opening one more way
// round. Last, the `exits` dead ends (open cells with one open neighbour,
// the start cell never) farthest from the start by the shortest way through
// the maze become exits (ties in the order the generator shuffled them);
// being dead ends, no way to an exit passes another one.
// False when no maze within many carvings held the request, which at the
// limits above does not happen.
bool GenerateMaze(const MazeRequest& request, int32_t (&grid)[kCellCount]);
