#include "shell/platform/app_icon.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "shell/platform/pixel_hash.h"

// The icon is laid out on the unit square, u to the right and v downward, and
// drawn by sampling each pixel on a regular grid: the pixel's colour is the
// average of its samples, its alpha the share of samples inside the tile. The
// arithmetic is plain IEEE 754 (no library transcendental functions), so the
// same size gives the same bytes on every run.
namespace {

constexpr int kSamplesPerAxis = 8;

struct Colour {
  double r, g, b;
};

Colour Scale(const Colour& c, double factor) {
  return Colour{c.r * factor, c.g * factor, c.b * factor};
}

// The picture's own colours: the open cell and the arrow.
constexpr Colour kOlive{0.4, 0.4, 0.3};
constexpr Colour kRed{1.0, 0.0, 0.0};
// The stone wall, lighter than the picture's dark tinted walls so that it
// reads at 16 pixels; its mortar, and the tile's dark brown outline.
constexpr Colour kStone{0.58, 0.38, 0.18};
constexpr Colour kMortar{0.24, 0.15, 0.07};
constexpr Colour kOutline{0.13, 0.08, 0.03};
constexpr Colour kArrowEdge{0.45, 0.0, 0.0};

// The tile: a square with rounded corners filling the whole icon.
constexpr double kCornerRadius = 0.125;
constexpr double kOutlineWidth = 1.0 / 32;

// The wall covers the tile left of kWallRight, in courses of bricks.
constexpr double kWallRight = 0.36;
constexpr int kCourses = 4;
constexpr double kBrickLength = 0.3;
constexpr double kMortarHalfWidth = 0.018;
constexpr double kBevel = 0.035;           // lit top and shaded bottom edge of a brick
constexpr double kWallShadowWidth = 0.05;  // the wall's shadow on the cell

// The arrow of the picture (tip along +x, in its own units), scaled into the
// cell right of the wall and centred there.
struct Point {
  double x, y;
};
constexpr Point kArrow[] = {{10, 0}, {0, 10}, {0, 5}, {-8, 5}, {-8, -5}, {0, -5}, {0, -10}};
constexpr double kArrowScale = 0.025;         // tile units per arrow unit
constexpr double kArrowMiddleX = 1;           // the middle of its extent, -8 to 10
constexpr double kArrowEdgeWidth = 1.0 / 48;  // in tile units

// Widths in tile units, but never thinner than `pixels` pixels, so that
// lines still show at the small sizes.
double AtLeastPixels(double width, double pixels, int size) {
  return std::max(width, pixels / size);
}

// Inside the square of side 1 whose corners are rounded with `radius`,
// shrunk by `inset` on every side.
bool InsideRoundedSquare(double u, double v, double inset, double radius) {
  const double low = inset;
  const double high = 1 - inset;
  if (u < low || u > high || v < low || v > high) return false;
  const double dx = std::max({low + radius - u, 0.0, u - (high - radius)});
  const double dy = std::max({low + radius - v, 0.0, v - (high - radius)});
  return dx * dx + dy * dy <= radius * radius;
}

double SegmentDistance(Point p, Point a, Point b) {
  const double abx = b.x - a.x;
  const double aby = b.y - a.y;
  const double t =
      std::clamp(((p.x - a.x) * abx + (p.y - a.y) * aby) / (abx * abx + aby * aby), 0.0, 1.0);
  const double dx = p.x - (a.x + t * abx);
  const double dy = p.y - (a.y + t * aby);
  return std::sqrt(dx * dx + dy * dy);
}

// Where a point lies against the arrow.
enum class ArrowPart { Outside, Edge, Body };

ArrowPart ArrowAt(double u, double v, int size) {
  const double cellMiddle = (kWallRight + 1 - kOutlineWidth) / 2;
  const double originU = cellMiddle - kArrowMiddleX * kArrowScale;
  const Point p{(u - originU) / kArrowScale, (0.5 - v) / kArrowScale};
  constexpr size_t count = sizeof(kArrow) / sizeof(kArrow[0]);
  // Outside the box around the arrow, x from -8 to 10 and y from -10 to 10.
  if (p.x < -8 || p.x > 10 || p.y < -10 || p.y > 10) return ArrowPart::Outside;
  bool inside = false;
  for (size_t i = 0, j = count - 1; i < count; j = i++) {
    const Point a = kArrow[i];
    const Point b = kArrow[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
      inside = !inside;
    }
  }
  if (!inside) return ArrowPart::Outside;
  double edgeDistance = 1e9;
  for (size_t i = 0, j = count - 1; i < count; j = i++) {
    edgeDistance = std::min(edgeDistance, SegmentDistance(p, kArrow[i], kArrow[j]));
  }
  const double edgeWidth = AtLeastPixels(kArrowEdgeWidth, 0.5, size) / kArrowScale;
  return edgeDistance < edgeWidth ? ArrowPart::Edge : ArrowPart::Body;
}

// A brick of course `course`, lighter or darker by its own amount, lit from
// above: its top edge light, its bottom edge in shade.
Colour BrickColour(int course, int brick, double v, double top, double bottom) {
  const double lightness = 0.85 + 0.3 * UnitPixelHash(course, brick, 0);
  double bevel = 1.0;
  if (v - top < kBevel) bevel = 1.25;
  if (bottom - v < kBevel) bevel = 0.75;
  return Scale(kStone, lightness * bevel);
}

Colour WallAt(double u, double v, int size) {
  const double mortar = AtLeastPixels(kMortarHalfWidth, 0.5, size);
  const double courseHeight = 1.0 / kCourses;
  const int course = std::min(kCourses - 1, static_cast<int>(v / courseHeight));
  // Every other course is laid half a brick along, so the joints alternate.
  const double shift = course % 2 == 0 ? 0 : kBrickLength / 2;
  const int brick = static_cast<int>(std::floor((u + shift) / kBrickLength));
  const double left = brick * kBrickLength - shift;
  const double right = std::min(left + kBrickLength, kWallRight);
  const double top = course * courseHeight;
  const double bottom = top + courseHeight;
  const bool inMortar =
      v - top < mortar || bottom - v < mortar || u - left < mortar || right - u < mortar;
  if (inMortar) return kMortar;
  return BrickColour(course, brick, v, top, bottom);
}

Colour CellAt(double u, double v, int size) {
  switch (ArrowAt(u, v, size)) {
    case ArrowPart::Body:
      return kRed;
    case ArrowPart::Edge:
      return kArrowEdge;
    case ArrowPart::Outside:
      break;
  }
  const double shadow = u - kWallRight < kWallShadowWidth ? 0.8 : 1.0;
  return Scale(kOlive, shadow);
}

// The colour at a point of the tile; false outside it.
bool TileAt(double u, double v, int size, Colour* colour) {
  if (!InsideRoundedSquare(u, v, 0, kCornerRadius)) return false;
  const double outline = AtLeastPixels(kOutlineWidth, 1, size);
  if (!InsideRoundedSquare(u, v, outline, kCornerRadius - outline)) {
    *colour = kOutline;
  } else {
    *colour = u < kWallRight ? WallAt(u, v, size) : CellAt(u, v, size);
  }
  return true;
}

uint8_t ToByte(double channel) {
  return static_cast<uint8_t>(std::clamp(channel, 0.0, 1.0) * 255 + 0.5);
}

}  // namespace

std::vector<uint8_t> DrawAppIcon(int size) {
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(size) * size * 4);
  constexpr int samples = kSamplesPerAxis * kSamplesPerAxis;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      Colour sum{0, 0, 0};
      int covered = 0;
      for (int j = 0; j < kSamplesPerAxis; ++j) {
        for (int i = 0; i < kSamplesPerAxis; ++i) {
          const double u = (x + (i + 0.5) / kSamplesPerAxis) / size;
          const double v = (y + (j + 0.5) / kSamplesPerAxis) / size;
          Colour colour{};
          if (!TileAt(u, v, size, &colour)) continue;
          sum = Colour{sum.r + colour.r, sum.g + colour.g, sum.b + colour.b};
          ++covered;
        }
      }
      const Colour average = covered == 0 ? sum : Scale(sum, 1.0 / covered);
      pixels.push_back(ToByte(average.r));
      pixels.push_back(ToByte(average.g));
      pixels.push_back(ToByte(average.b));
      pixels.push_back(ToByte(static_cast<double>(covered) / samples));
    }
  }
  return pixels;
}
