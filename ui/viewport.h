// The square scene and its place in the window.
#pragma once

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

// Puts the scene on the largest centred square of the window's drawing area,
// with the scene projection on the modelview matrix. Does nothing while there
// is no window or no current context.
void FitViewport();
