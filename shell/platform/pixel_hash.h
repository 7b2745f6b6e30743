// The integer hash behind the generated pictures: the icon's bricks and the
// wall texture's cobbles, grain and speckle. Plain 32-bit integer arithmetic
// with a fixed seed, so a picture comes out the same on every run and every
// platform.
#pragma once

#include <cstdint>

// A well-mixed value that depends only on the lattice point (x, y) and the
// channel, which keeps independent uses of the same point apart.
inline uint32_t PixelHash(int32_t x, int32_t y, uint32_t channel) {
  constexpr uint32_t kSeed = 0x2002518u;
  uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
               channel * 0xCB1AB31Fu ^ kSeed;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

// PixelHash as a value in [0, 1).
inline double UnitPixelHash(int32_t x, int32_t y, uint32_t channel) {
  return PixelHash(x, y, channel) / 4294967296.0;
}
