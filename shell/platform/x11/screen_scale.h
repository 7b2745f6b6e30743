// The whole factor by which the Linux program scales its window, menu, boxes
// and picture text on a dense screen, from what the desktop publishes. Plain
// C++, so that the rule can be tested without a display.
#pragma once

// The dots per inch that the sizes in pixels are drawn for (a scale of 1).
constexpr double kBaseDotsPerInch = 96.0;

// 1 below 1.5 times the base density; from there the nearest whole multiple,
// halves rounded up (144 dpi gives 2, 192 gives 2, 240 gives 3), at most 8.
int WholeScaleFactor(double dotsPerInch);

// The factor the desktop asks for: `gdkScale` (the GDK_SCALE variable, a
// whole number from 1 to 8) where it is set and valid overrides the rest; else
// `xftDpi` (the Xft.dpi resource, a positive number) where it is set and
// valid; else `screenDotsPerInch` (the X screen's size in pixels over its
// size in millimetres), where it is positive. Null stands for unset.
int DesktopScaleFactor(const char* gdkScale, const char* xftDpi, double screenDotsPerInch);
