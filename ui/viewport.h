// The square scene and its place in the window.
#pragma once

#include <optional>

// Side of the square scene in scene units.
constexpr int SceneSize = 360;

struct ViewportRect {
  int x;
  int y;
  int width;
  int height;
};

// The largest square centred in a client area of width x height pixels.
ViewportRect ComputeViewport(int width, int height);

struct MazeCell {
  int column;
  int row;
};

// The maze cell shown at pixel (x, y) of a client area of width x height
// pixels, counted from its top-left corner with y downward: the inverse of
// the scene's mapping onto the largest centred square, taken at the pixel's
// centre, as OpenGL fills pixels by their centres. None for a pixel in the
// bands beside the square, in the margin around the maze, or outside the
// client area.
std::optional<MazeCell> CellAtPoint(int width, int height, int x, int y);

// Puts the scene on the largest centred square of the window's drawing area,
// with the scene projection on the modelview matrix. Does nothing while there
// is no window or no current context.
void FitViewport();
