#include "ui/viewport.h"

#include "shell/gl.h"
#include "shell/platform/platform.h"

namespace {

// Depth range of the scene: larger z is nearer.
constexpr double kSceneNear = -200.0;
constexpr double kSceneFar = 200.0;

}  // namespace

ViewportRect ComputeViewport(int width, int height) {
  if (width < height) return ViewportRect{0, (height - width) / 2, width, width};
  return ViewportRect{(width - height) / 2, 0, height, height};
}

void FitViewport() {
  int width = 0;
  int height = 0;
  if (!PlatformClientSize(&width, &height)) return;
  const ViewportRect view = ComputeViewport(width, height);
  glViewport(view.x, view.y, view.width, view.height);
  // The projection matrix stays the identity; the scene projection lives on
  // the modelview matrix, so text raster positions are scene coordinates.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glOrtho(0.0, SceneSize, 0.0, SceneSize, kSceneNear, kSceneFar);
}
