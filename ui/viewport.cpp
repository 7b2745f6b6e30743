#include "ui/viewport.h"

#include "explorer/maze_explorer.h"
#include "shell/platform/gl.h"
#include "shell/platform/platform.h"

namespace {

// Depth range of the scene: larger z is nearer.
constexpr double kSceneNear = -200.0;
constexpr double kSceneFar = 200.0;

// The maze column (or row) drawn over the centre of pixel `pixel` of a
// viewport side `side` pixels long, counted from the maze's first cell;
// negative in the margin before it. The centre's scene coordinate is
// (pixel + 1/2) * SceneSize / side, kept in integers by doubling.
long long CellIndexAtPixel(int pixel, int side) {
  const long long doubledScene = (2LL * pixel + 1) * SceneSize;
  const long long fromMaze = doubledScene - 2LL * side * kMazeOrigin;
  const long long doubledCell = 2LL * side * kCellSize;
  return fromMaze < 0 ? -1 : fromMaze / doubledCell;
}

bool IsMazeIndex(long long index) { return index >= 0 && index < kMazeSide; }

}  // namespace

std::optional<MazeCell> CellAtPoint(int width, int height, int x, int y) {
  const ViewportRect view = ComputeViewport(width, height);
  // OpenGL counts the viewport's rows from the bottom of the client area.
  const int fromLeft = x - view.x;
  const int fromBottom = height - 1 - y - view.y;
  if (fromLeft < 0 || fromLeft >= view.width || fromBottom < 0 || fromBottom >= view.height) {
    return std::nullopt;
  }
  const long long column = CellIndexAtPixel(fromLeft, view.width);
  const long long row = CellIndexAtPixel(fromBottom, view.height);
  if (!IsMazeIndex(column) || !IsMazeIndex(row)) return std::nullopt;
  return MazeCell{static_cast<int>(column), static_cast<int>(row)};
}

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
