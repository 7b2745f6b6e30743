// Drawing of the maze, the explorer and its status message into the frame
// being composed, in scene coordinates (the maze fills 30..330 on both axes,
// one cell being 30 units, row 0 at the bottom).
#include <optional>

#include "explorer/maze_explorer.h"
#include "shell/platform/gl.h"
#include "shell/text/bitmap_text.h"

namespace {

// Degrees per heading: the angle over it picks the heading whose offset the
// arrow moves along.
constexpr int32_t kQuarterTurn = 90;
// Where the status line's baseline starts.
constexpr int kStatusX = 0;
constexpr int kStatusY = 16;

struct Rgb {
  GLfloat r, g, b;
};

// The brown that tints the stone texture of a wall; its blue of 0 takes the
// texture's blue away.
constexpr Rgb kWallTint = {0.4f, 0.2f, 0.0f};

// The fill colour of a cell code; none for codes without a colour of their
// own, which take whatever colour is current.
std::optional<Rgb> FillColour(int code) {
  switch (code) {
    case Open:
      return Rgb{0.4f, 0.4f, 0.3f};
    case DeadEnd:
      return Rgb{0.5f, 0.5f, 0.5f};
    case Trail:
      return Rgb{0.0f, 0.7f, 0.0f};
    case Marker:
      return Rgb{0.5f, 0.5f, 1.0f};
    case Exit:
      return Rgb{0.0f, 1.0f, 0.0f};
    default:
      return std::nullopt;
  }
}

// The arrow in its own frame, tip along +x, counter-clockwise, at z = 3 so it
// lies in front of the cells. The outline is not convex, but every vertex is
// visible from the tip, so a fan from the tip covers it exactly.
constexpr GLint kArrowZ = 3;
constexpr GLint kArrow[7][2] = {{10, 0}, {0, 10}, {0, 5}, {-8, 5}, {-8, -5}, {0, -5}, {0, -10}};

}  // namespace

bool MazeExplorer::StepFrame() {
  const bool running = Tick();
  DrawStatus();
  return running;
}

void MazeExplorer::DrawScene() const {
  for (int x = 0; x < kMazeSide; ++x) {
    for (int y = 0; y < kMazeSide; ++y) {
      const int code = CellAt(y, x);
      const int x1 = kCellSize * x + kMazeOrigin;
      const int y1 = kCellSize * y + kMazeOrigin;
      const int x2 = x1 + kCellSize;
      const int y2 = y1 + kCellSize;
      if (code == Wall) {
        glEnable(GL_TEXTURE_2D);
        glColor3f(kWallTint.r, kWallTint.g, kWallTint.b);
        DrawTexturedQuad(x1, y1, x2, y2);
        glDisable(GL_TEXTURE_2D);
        continue;
      }
      if (const std::optional<Rgb> colour = FillColour(code)) {
        glColor3f(colour->r, colour->g, colour->b);
      }
      glRecti(x1, y1, x2, y2);
    }
  }
  DrawExplorer();
}

void MazeExplorer::DrawTexturedQuad(int x1, int y1, int x2, int y2) const {
  // The whole image once over the cell, its bottom-left at the cell's.
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3d(x1, y1, 0.0);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3d(x2, y1, 0.0);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3d(x2, y2, 0.0);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3d(x1, y2, 0.0);
  glEnd();
}

void MazeExplorer::DrawExplorer() const {
  // The offset follows the facing angle, not the heading, so the arrow
  // moves the way it points.
  const HeadingStep& step = HeadingTable[pose.angle / kQuarterTurn];
  const int centreX = pose.progress * step.dx + kCellSize * pose.x + kMazeOrigin + kCellSize / 2;
  const int centreY = pose.progress * step.dy + kCellSize * pose.y + kMazeOrigin + kCellSize / 2;

  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslated(centreX, centreY, 0.0);
  glRotated(pose.angle, 0.0, 0.0, 1.0);
  glColor3f(1.0f, 0.0f, 0.0f);
  glBegin(GL_TRIANGLE_FAN);
  for (const auto& vertex : kArrow) glVertex3i(vertex[0], vertex[1], kArrowZ);
  glEnd();
  glPopMatrix();
}

void MazeExplorer::DrawStatus() const { DrawString(message, kStatusX, kStatusY); }
