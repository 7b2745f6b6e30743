#include "shell/platform/x11/screen_scale.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

// Below this many times the base density the program stays at its own size:
// half-way steps would blur a bitmap font, and a little small is fine.
constexpr double kFirstScaleStep = 1.5;
// A bound against nonsense settings (a window of many screens' size).
constexpr int kMaxScale = 8;

// A number that fills the whole text, finite and above zero.
std::optional<double> PositiveNumber(const char* text) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value <= 0.0) return std::nullopt;
  return value;
}

}  // namespace

int WholeScaleFactor(double dotsPerInch) {
  const double scale = dotsPerInch / kBaseDotsPerInch;
  if (!(scale >= kFirstScaleStep)) return 1;
  return static_cast<int>(std::min(std::floor(scale + 0.5), static_cast<double>(kMaxScale)));
}

int DesktopScaleFactor(const char* gdkScale, const char* xftDpi, double screenDotsPerInch) {
  const std::optional<double> gdk = PositiveNumber(gdkScale);
  if (gdk && *gdk == std::floor(*gdk) && *gdk <= kMaxScale) return static_cast<int>(*gdk);
  if (const std::optional<double> dpi = PositiveNumber(xftDpi)) return WholeScaleFactor(*dpi);
  return screenDotsPerInch > 0.0 ? WholeScaleFactor(screenDotsPerInch) : 1;
}
