// make-stone-bmp OUTFILE [SIZE]
//
// Writes the wall texture: a square, seamlessly tiling picture of grey-brown
// cobbles set in dark mortar, as an uncompressed 24-bit BMP file of SIZE x SIZE
// pixels (a power of two from 16 to 1024, 128 by default). The picture is the
// same on every run and every platform: it comes from an integer hash with a
// fixed seed, and the arithmetic uses only operations that IEEE 754 rounds
// exactly (no library transcendental functions).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "shell/files/bmp_file.h"
#include "shell/platform/pixel_hash.h"

namespace {

constexpr int kDefaultSize = 128;
constexpr int kMinSize = 16;
constexpr int kMaxSize = 1024;

constexpr int kCobblesPerSide = 4;          // cobbles across the tile, so it repeats seamlessly
constexpr double kMortarHalfWidth = 0.035;  // in cobble widths
constexpr double kMortarBlend = 0.03;       // soft edge between mortar and stone
constexpr double kRimWidth = 0.2;           // rounded border where a cobble darkens

struct Colour {
  double r, g, b;
};

struct Point {
  double x, y;
};

int Wrap(int value, int period) { return ((value % period) + period) % period; }

double Clamp01(double value) { return value < 0 ? 0 : (value > 1 ? 1 : value); }

double SmoothStep(double edge0, double edge1, double value) {
  const double t = Clamp01((value - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

Colour Mix(const Colour& a, const Colour& b, double t) {
  return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour Scale(const Colour& c, double factor) {
  return Colour{c.r * factor, c.g * factor, c.b * factor};
}

// Smoothly interpolated lattice noise in [0, 1) at (u, v) in tile units,
// repeating every tile; `period` lattice cells span the tile.
double ValueNoise(double u, double v, int period, uint32_t channel) {
  const double x = u * period;
  const double y = v * period;
  const int x0 = static_cast<int>(std::floor(x));
  const int y0 = static_cast<int>(std::floor(y));
  const double fx = SmoothStep(0, 1, x - x0);
  const double fy = SmoothStep(0, 1, y - y0);
  auto corner = [&](int dx, int dy) {
    return UnitPixelHash(Wrap(x0 + dx, period), Wrap(y0 + dy, period), channel);
  };
  const double bottom = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * fx;
  const double top = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * fx;
  return bottom + (top - bottom) * fy;
}

// Four octaves of value noise, coarse to fine, in [0, 1).
double Grain(double u, double v, uint32_t channel) {
  double sum = 0;
  double weight = 0.5;
  for (int period = 8; period <= 64; period *= 2) {
    sum += weight * ValueNoise(u, v, period, channel);
    weight *= 0.5;
  }
  return sum / 0.9375;
}

// The centre of cobble (i, j), jittered inside its grid square; i and j may lie
// outside the tile, the jitter repeats with the tile.
Point CobbleCentre(int i, int j) {
  const int wi = Wrap(i, kCobblesPerSide);
  const int wj = Wrap(j, kCobblesPerSide);
  return Point{i + 0.2 + 0.6 * UnitPixelHash(wi, wj, 1), j + 0.2 + 0.6 * UnitPixelHash(wi, wj, 2)};
}

// Where a point lies among the cobbles: which cobble, its offset from that
// cobble's centre, and its distance to the nearest cobble border (all in
// cobble widths).
struct CobbleHit {
  int i, j;
  Point offset;
  double borderDistance;
};

CobbleHit FindCobble(Point p) {
  const int ci = static_cast<int>(std::floor(p.x));
  const int cj = static_cast<int>(std::floor(p.y));
  CobbleHit hit{ci, cj, {0, 0}, 0};
  double nearest = 1e9;
  for (int dj = -2; dj <= 2; ++dj) {
    for (int di = -2; di <= 2; ++di) {
      const Point c = CobbleCentre(ci + di, cj + dj);
      const double d = (p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y);
      if (d < nearest) {
        nearest = d;
        hit.i = ci + di;
        hit.j = cj + dj;
        hit.offset = Point{p.x - c.x, p.y - c.y};
      }
    }
  }
  // The border with a neighbour is the perpendicular bisector of the two
  // centres; the nearest such bisector is the cobble's border.
  const Point a = CobbleCentre(hit.i, hit.j);
  hit.borderDistance = 1e9;
  for (int dj = -2; dj <= 2; ++dj) {
    for (int di = -2; di <= 2; ++di) {
      if (di == 0 && dj == 0) continue;
      const Point b = CobbleCentre(hit.i + di, hit.j + dj);
      const Point ab{b.x - a.x, b.y - a.y};
      const double length = std::sqrt(ab.x * ab.x + ab.y * ab.y);
      const Point mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
      const double distance = ((mid.x - p.x) * ab.x + (mid.y - p.y) * ab.y) / length;
      if (distance < hit.borderDistance) hit.borderDistance = distance;
    }
  }
  return hit;
}

// Each cobble gets its own lightness and a tint between cool grey and warm
// brown; the grain mottles it, the rim darkens towards the mortar and light
// from the upper left brightens the side that faces it.
Colour StoneColour(const CobbleHit& hit, double u, double v) {
  const int wi = Wrap(hit.i, kCobblesPerSide);
  const int wj = Wrap(hit.j, kCobblesPerSide);
  const double lightness = 0.48 + 0.24 * UnitPixelHash(wi, wj, 3);
  const double warmth = UnitPixelHash(wi, wj, 4);
  const Colour grey{0.95, 0.94, 0.92};
  const Colour brown{1.06, 0.95, 0.80};
  const Colour base = Scale(Mix(grey, brown, warmth), lightness);

  const double grain = 0.72 + 0.56 * Grain(u, v, 5);
  const double rim = SmoothStep(0, kRimWidth, hit.borderDistance - kMortarHalfWidth);
  const double length = std::sqrt(hit.offset.x * hit.offset.x + hit.offset.y * hit.offset.y);
  const double facing = length > 0 ? (-0.6 * hit.offset.x + 0.8 * hit.offset.y) / length : 0;
  const double light = (0.62 + 0.38 * rim) * (1 + 0.22 * facing * (1 - rim));
  return Scale(base, grain * light);
}

Colour MortarColour(double u, double v) {
  return Scale(Colour{0.30, 0.28, 0.25}, 0.75 + 0.5 * Grain(u, v, 6));
}

// The colour at pixel (x, y) of a size x size tile, row 0 at the bottom.
Colour PixelColour(int x, int y, int size) {
  const double u = (x + 0.5) / size;
  const double v = (y + 0.5) / size;
  const CobbleHit hit = FindCobble(Point{u * kCobblesPerSide, v * kCobblesPerSide});
  const double stoneShare =
      SmoothStep(kMortarHalfWidth, kMortarHalfWidth + kMortarBlend, hit.borderDistance);
  const double speckle = 0.94 + 0.12 * UnitPixelHash(x, y, 7);
  return Scale(Mix(MortarColour(u, v), StoneColour(hit, u, v), stoneShare), speckle);
}

uint8_t ToByte(double channel) { return static_cast<uint8_t>(Clamp01(channel) * 255 + 0.5); }

// The picture as an uncompressed 24-bit BMP file.
std::vector<uint8_t> EncodeStoneBitmap(int size) {
  std::vector<Rgb8> pixels;
  pixels.reserve(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const Colour c = PixelColour(x, y, size);
      pixels.push_back(Rgb8{ToByte(c.r), ToByte(c.g), ToByte(c.b)});
    }
  }
  return EncodeBitmap24(size, size, pixels);
}

// The SIZE argument, or 0 when it is not a power of two within the limits.
int ParseSize(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  const bool isNumber = end != text && *end == '\0';
  const bool isPowerOfTwo = value > 0 && (value & (value - 1)) == 0;
  if (!isNumber || !isPowerOfTwo || value < kMinSize || value > kMaxSize) return 0;
  return static_cast<int>(value);
}

bool WriteFile(const char* fileName, const std::vector<uint8_t>& bytes) {
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: make-stone-bmp OUTFILE [SIZE]\n");
    return 2;
  }
  const int size = argc == 3 ? ParseSize(argv[2]) : kDefaultSize;
  if (size == 0) {
    std::fprintf(stderr, "make-stone-bmp: SIZE must be a power of two from %d to %d\n", kMinSize,
                 kMaxSize);
    return 2;
  }
  if (!WriteFile(argv[1], EncodeStoneBitmap(size))) {
    std::fprintf(stderr, "make-stone-bmp: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
