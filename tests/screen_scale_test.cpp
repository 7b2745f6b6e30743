#include "shell/platform/x11/screen_scale.h"

#include <gtest/gtest.h>

namespace {

TEST(WholeScaleFactorTest, StaysAtOneBelowOneAndAHalfThenRoundsToTheNearestWhole) {
  const struct {
    double dpi;
    int factor;
  } cases[] = {
      {0.0, 1},   {75.0, 1},  {96.0, 1},  {120.0, 1}, {143.9, 1}, {144.0, 2},
      {168.0, 2}, {192.0, 2}, {239.9, 2}, {240.0, 3}, {288.0, 3}, {1e300, 8},
  };
  for (const auto& c : cases) EXPECT_EQ(WholeScaleFactor(c.dpi), c.factor) << c.dpi;
}

TEST(DesktopScaleFactorTest, GdkScaleOverridesXftDpiWhichOverridesTheScreen) {
  const struct {
    const char* gdkScale;
    const char* xftDpi;
    double screenDpi;
    int factor;
  } cases[] = {
      {nullptr, nullptr, 96.0, 1},
      {nullptr, nullptr, 192.0, 2},
      {nullptr, nullptr, 0.0, 1},  // a screen that reports no size in millimetres
      {nullptr, "192", 96.0, 2},
      {nullptr, "96", 192.0, 1},
      {nullptr, "144.5", 96.0, 2},
      {"1", "192", 192.0, 1},
      {"3", nullptr, 96.0, 3},
      // Settings that are not what they should be count as unset.
      {"", "", 192.0, 2},
      {"2.5", "abc", 96.0, 1},
      {"0", "-192", 192.0, 2},
      {"99", "192dpi", 96.0, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DesktopScaleFactor(c.gdkScale, c.xftDpi, c.screenDpi), c.factor)
        << (c.gdkScale ? c.gdkScale : "unset") << ", " << (c.xftDpi ? c.xftDpi : "unset") << ", "
        << c.screenDpi;
  }
}

}  // namespace
