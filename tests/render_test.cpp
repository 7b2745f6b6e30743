// Offscreen render tests: frames are drawn with OSMesa through the offscreen
// platform and read back pixel by pixel. With a 360 x 360 drawing area one
// scene unit is one pixel; row 0 is at the bottom. Filled shapes are sampled
// inside or a few pixels beyond their edges, never on a slanted edge; text is
// compared pixel for pixel with the font's glyphs at their exact places.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "explorer/maze_explorer.h"
#include "shell/app/window.h"
#include "shell/main/application.h"
#include "shell/platform/gl.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "shell/text/bitmap_text.h"
#include "shell/text/fixed_font.h"
#include "tests/bmp_fixture.h"
#include "tests/explorer_fixtures.h"
#include "tests/offscreen_program.h"
#include "ui/commands.h"
#include "ui/frame.h"
#include "ui/viewport.h"

static bool operator==(const ViewportRect& a, const ViewportRect& b) {
  return std::tie(a.x, a.y, a.width, a.height) == std::tie(b.x, b.y, b.width, b.height);
}

static std::ostream& operator<<(std::ostream& out, const ViewportRect& rect) {
  return out << "(" << rect.x << ", " << rect.y << ", " << rect.width << ", " << rect.height << ")";
}

static bool operator==(const MazeCell& a, const MazeCell& b) {
  return a.column == b.column && a.row == b.row;
}

static std::ostream& operator<<(std::ostream& out, const MazeCell& cell) {
  return out << "(column " << cell.column << ", row " << cell.row << ")";
}

namespace {

using explorer_test::FilledGrid;
using explorer_test::Grid;
using explorer_test::Index;
using explorer_test::kSaysCanMove;
using explorer_test::kSaysRest;
using explorer_test::PlacedCell;
using explorer_test::ScratchDir;
using explorer_test::SetGrid;

// Red, green, blue bytes of a pixel.
using Colour = std::tuple<int, int, int>;
using Colours = std::set<Colour>;

const Colour kBlack{0, 0, 0};
const Colour kRed{255, 0, 0};
const Colour kGreen{0, 255, 0};
const Colour kMagenta{255, 0, 255};
const Colour kYellow{255, 255, 0};
const Colour kOpenFill{102, 102, 77};  // (0.4, 0.4, 0.3)
const Colour kFlatWall{102, 51, 0};    // the wall tint (0.4, 0.2, 0) without a texture

constexpr int kScenePixels = 360;
constexpr int kCellPixels = 30;

Colour At(int x, int y) {
  const offscreen::Rgb pixel = offscreen::PixelAt(x, y);
  return Colour{pixel.r, pixel.g, pixel.b};
}

// Channels may differ by `tolerance`: colours are rounded from floats.
testing::AssertionResult ColourNear(int x, int y, const Colour& expected, int tolerance = 1) {
  const Colour actual = At(x, y);
  const bool near = std::abs(std::get<0>(actual) - std::get<0>(expected)) <= tolerance &&
                    std::abs(std::get<1>(actual) - std::get<1>(expected)) <= tolerance &&
                    std::abs(std::get<2>(actual) - std::get<2>(expected)) <= tolerance;
  if (near) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "pixel (" << x << ", " << y << ") is " << testing::PrintToString(actual)
         << ", expected " << testing::PrintToString(expected);
}

// Every colour in the rectangle of pixels from (x0, y0) to (x1, y1) inclusive.
Colours ColoursIn(int x0, int y0, int x1, int y1) {
  Colours found;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) found.insert(At(x, y));
  }
  return found;
}

// Bottom-left pixel of the cell of `column`, `row` at 360 x 360.
int CellLeft(int column) { return kCellPixels * column + kCellPixels; }
int CellBottom(int row) { return kCellPixels * row + kCellPixels; }

Grid With(Grid grid, std::initializer_list<PlacedCell> cells) {
  for (const PlacedCell& cell : cells) grid[Index(cell.x, cell.y)] = cell.code;
  return grid;
}

// The stone texture fixture: 2 x 2 texels, bottom row first, as (red, green,
// blue), and where each texel lands in a wall cell after the (0.4, 0.2, 0)
// tint. The offsets are texel centres, where linear filtering gives the texel
// unmixed.
struct TexelSample {
  int dx, dy;  // pixels from the cell's bottom-left corner
  Colour texel;
  Colour tinted;
};
const TexelSample kTexels[] = {
    {7, 7, {200, 100, 50}, {80, 20, 0}},
    {22, 7, {50, 200, 100}, {20, 40, 0}},
    {7, 22, {100, 50, 200}, {40, 10, 0}},
    {22, 22, {250, 250, 250}, {100, 50, 0}},
};

// kTexels as a 24-bit BMP file: rows of 6 bytes padded to 8, bottom row
// first. The padding tells a texture upload that assumes 4-byte row alignment
// from one that does not.
std::string TextureFileBytes() {
  std::vector<bmp_fixture::Rgb8> texels;
  for (const TexelSample& sample : kTexels) {
    const auto [r, g, b] = sample.texel;
    texels.push_back({static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)});
  }
  return bmp_fixture::BmpFile(2, 2, texels);
}

enum class Mode { Framed, FullScreen };
enum class Walls { Flat, Textured };

class RenderTest : public testing::Test {
 protected:
  void TearDown() override {
    ShutdownRendering();
    ResetProgram();
  }

  // A window whose drawing area is width x height, set up as the program sets
  // it up before its first frame. The explorer stands paused in the top-right
  // cell, away from the cells under test.
  void OpenWindow(Mode mode = Mode::Framed, Walls walls = Walls::Flat, int width = kScenePixels,
                  int height = kScenePixels) {
    ResetOpenedProgram();
    offscreen::Get().clientWidth = width;
    offscreen::Get().clientHeight = height;
    offscreen::Get().contentScale = contentScale_;
    offscreen::Get().ownFont = ownFont_;
    CreateWindowFor(mode == Mode::FullScreen, kShowNormal);
    const std::string texture = walls == Walls::Textured
                                    ? scratch_.Write("Stone.BMP", TextureFileBytes())
                                    : scratch_.PathOf("missing.bmp");
    ASSERT_EQ(StartRendering(texture.c_str()), 1);
    App.Explorer.paused = 1;
    App.Explorer.pose = Pose{9, 9, 0, 0, 0};
  }

  // One frame of the program over `grid`.
  void DrawFrameOf(const Grid& grid) {
    SetGrid(App.Explorer, grid);
    DrawFrame(0);
  }

  // Set before OpenWindow: the screen's density, and the backend's own font
  // (none: the text code's embedded one).
  float contentScale_ = 1;
  std::function<bool(uint32_t, int, int)> ownFont_;

  void ExpectWallCell(int column, int row, bool textured) {
    for (const TexelSample& sample : kTexels) {
      EXPECT_TRUE(ColourNear(CellLeft(column) + sample.dx, CellBottom(row) + sample.dy,
                             textured ? sample.tinted : kFlatWall, 2))
          << "wall cell (" << column << ", " << row << ")";
    }
  }

  ScratchDir scratch_;
};

TEST_F(RenderTest, EachCellCodeHasItsFillAndTheMazeKeepsAMargin) {
  struct Fill {
    int code;
    Colour colour;
  };
  const Fill fills[] = {
      {Open, kOpenFill},         {DeadEnd, {128, 128, 128}}, {Trail, {0, 179, 0}},
      {Marker, {128, 128, 255}}, {Exit, {0, 255, 0}},
  };
  OpenWindow();
  for (const Fill& fill : fills) {
    SCOPED_TRACE(testing::Message() << "code " << fill.code);
    DrawFrameOf(FilledGrid(fill.code));
    for (int column = 0; column < kMazeSide; ++column) {
      for (int row = 0; row < kMazeSide; ++row) {
        if (column == 9 && row == 9) continue;  // under the arrow
        EXPECT_TRUE(ColourNear(CellLeft(column) + 15, CellBottom(row) + 15, fill.colour));
      }
    }
    // Left, right and top margins, and the gap between status line and maze.
    EXPECT_EQ(ColoursIn(0, 27, 27, 345), Colours{kBlack});
    EXPECT_EQ(ColoursIn(332, 27, 359, 345), Colours{kBlack});
    EXPECT_EQ(ColoursIn(0, 332, 359, 345), Colours{kBlack});
    EXPECT_EQ(ColoursIn(0, 27, 359, 27), Colours{kBlack});
  }
}

TEST_F(RenderTest, RowZeroIsAtTheBottomAndColumnZeroAtTheLeft) {
  OpenWindow();
  DrawFrameOf(With(FilledGrid(Open), {{0, 0, Exit}, {9, 0, Marker}, {0, 9, DeadEnd}}));
  // Column 0, row 0 covers 30..60 on both axes.
  const std::pair<int, int> insideEdges[] = {{32, 32}, {57, 32}, {32, 57}, {57, 57}};
  for (const auto& [x, y] : insideEdges) EXPECT_TRUE(ColourNear(x, y, kGreen));
  EXPECT_TRUE(ColourNear(27, 45, kBlack));
  EXPECT_TRUE(ColourNear(45, 27, kBlack));
  EXPECT_TRUE(ColourNear(62, 45, kOpenFill));
  EXPECT_TRUE(ColourNear(45, 62, kOpenFill));
  EXPECT_TRUE(ColourNear(315, 45, {128, 128, 255}));
  EXPECT_TRUE(ColourNear(45, 315, {128, 128, 128}));
}

TEST_F(RenderTest, WallCellsShowTheWholeTextureTintedBrownWithoutBlue) {
  OpenWindow(Mode::Framed, Walls::Textured);
  DrawFrameOf(FilledGrid(Wall));
  ExpectWallCell(0, 0, true);
  ExpectWallCell(4, 7, true);
  ExpectWallCell(9, 0, true);
}

TEST_F(RenderTest, WithoutATextureWallCellsAreFlatBrown) {
  OpenWindow(Mode::Framed, Walls::Flat);
  DrawFrameOf(FilledGrid(Wall));
  ExpectWallCell(0, 0, false);
  ExpectWallCell(4, 7, false);
}

// A texture loaded again replaces the one before: a file that cannot be read
// leaves the walls flat and no pixels kept, never the earlier file's texture
// uploaded with its stale header; a readable one textures them again.
TEST_F(RenderTest, LoadingTheTextureAgainReplacesTheEarlierOne) {
  OpenWindow(Mode::Framed, Walls::Textured);

  LoadWallTexture(scratch_.PathOf("missing.bmp").c_str());
  DrawFrameOf(FilledGrid(Wall));
  ExpectWallCell(0, 0, false);
  EXPECT_EQ(App.TexturePixels, nullptr);
  EXPECT_EQ(App.TextureInfo.biWidth, 0);

  LoadWallTexture(scratch_.Write("again.bmp", TextureFileBytes()).c_str());
  DrawFrameOf(FilledGrid(Wall));
  ExpectWallCell(0, 0, true);
}

TEST_F(RenderTest, CodesWithoutAFillTakeTheColourCurrentBeforeThem) {
  OpenWindow(Mode::Framed, Walls::Textured);
  // The first cell drawn takes the red that the frame sets before the scene.
  DrawFrameOf(With(FilledGrid(Open), {{0, 0, 5}}));
  EXPECT_TRUE(ColourNear(CellLeft(0) + 15, CellBottom(0) + 15, kRed));
  EXPECT_TRUE(ColourNear(CellLeft(0) + 3, CellBottom(0) + 3, kRed));

  // Above a wall in the same column: the wall's tint, flat, not textured.
  DrawFrameOf(With(FilledGrid(Wall), {{0, 1, 6}}));
  ExpectWallCell(0, 0, true);
  ExpectWallCell(0, 1, false);
}

// The arrow points along (cos angle, sin angle); its tip is 10 units ahead
// of its centre, its tail 8 behind, and the centroid of its area 2/27 of a
// unit ahead of the centre.
TEST_F(RenderTest, ArrowIsDrawnAtItsAnimatedPose) {
  struct ArrowCase {
    const char* what;
    Pose pose;
    double centreX, centreY;
  };
  const ArrowCase cases[] = {
      {"east, at rest: tip at (115, 135)", {2, 3, 0, 0, 0}, 105, 135},
      {"east, a whole cell on", {2, 3, 0, 0, 30}, 135, 135},
      {"north points to the row above", {2, 3, 1, 90, 0}, 105, 135},
      {"south, half a cell on", {2, 3, 3, 270, 15}, 105, 120},
      {"turning at 135 moves along entry 1", {2, 3, 2, 135, 1}, 105, 136},
      {"turning at 225 moves along entry 2", {2, 3, 3, 225, 1}, 104, 135},
  };
  OpenWindow();
  for (const ArrowCase& arrow : cases) {
    SCOPED_TRACE(arrow.what);
    App.Explorer.pose = arrow.pose;
    DrawFrameOf(FilledGrid(Open));
    const double radians = arrow.pose.angle * std::acos(-1.0) / 180.0;
    const double ux = std::cos(radians);
    const double uy = std::sin(radians);
    const auto pixelAlongAxis = [&](double distance) {
      return At(static_cast<int>(std::floor(arrow.centreX + distance * ux)),
                static_cast<int>(std::floor(arrow.centreY + distance * uy)));
    };
    EXPECT_EQ(pixelAlongAxis(8), kRed) << "just inside the tip";
    EXPECT_NE(pixelAlongAxis(11.5), kRed) << "just beyond the tip";
    EXPECT_EQ(pixelAlongAxis(-6), kRed) << "the shaft";
    EXPECT_NE(pixelAlongAxis(-10), kRed) << "behind the tail";

    double sumX = 0, sumY = 0;
    int count = 0;
    for (int y = static_cast<int>(arrow.centreY) - 20; y <= arrow.centreY + 20; ++y) {
      for (int x = static_cast<int>(arrow.centreX) - 20; x <= arrow.centreX + 20; ++x) {
        if (At(x, y) != kRed) continue;
        sumX += x + 0.5;
        sumY += y + 0.5;
        ++count;
      }
    }
    ASSERT_GT(count, 0);
    EXPECT_NEAR(sumX / count, arrow.centreX + 2.0 / 27 * ux, 0.3);
    EXPECT_NEAR(sumY / count, arrow.centreY + 2.0 / 27 * uy, 0.3);
  }
}

TEST_F(RenderTest, SceneLeavesTexturingOffRedCurrentAndTheMatrixStackAsItWas) {
  OpenWindow(Mode::Framed, Walls::Textured);
  SetGrid(App.Explorer, FilledGrid(Wall));
  glColor3f(0.0f, 0.0f, 1.0f);
  App.Explorer.DrawScene();
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(std::vector<GLfloat>(colour, colour + 4), (std::vector<GLfloat>{1, 0, 0, 1}));
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
}

// The texts of a frame besides the status line, byte for byte.
const char kKeyLabel[] = "Key: ";
const char kKeyHelpFirst[] = "<Return>:Start | <SHIFT>:Pause | <CTRL>:Resume | <ESC>:Exit";
const char kKeyHelpSecond[] = "<UP>:Speed Up | <DOWN>:Speed down | <End>: Full speed";
const char kTitleAtZeroFps[] = "Pathwick --Demo Corvinder 2002-5-18 ---FPS: 0";

// A line of text as a frame should show it: the left end of its baseline in
// scene units, and its colour.
struct Text {
  const char* chars;
  int x, y;
  Colour colour;
};

// The frame's text rows (below the maze and above it) as `texts` would light
// them, painted from `font`'s bitmaps: every glyph cell is its cell width
// wide and starts its descent below the baseline. Bitmaps are not scaled,
// only their positions are: `scale` pixels per scene unit.
std::vector<Colour> PaintTexts(const std::vector<Text>& texts, int scale, const FixedFont& font) {
  const int side = kScenePixels * scale;
  std::vector<Colour> frame(static_cast<size_t>(side) * side, kBlack);
  for (const Text& text : texts) {
    for (int i = 0; text.chars[i] != '\0'; ++i) {
      const int left = text.x * scale + i * font.cellWidth;
      const int bottom = text.y * scale - font.descent;
      for (int row = 0; row < font.cellHeight; ++row) {
        for (int column = 0; column < font.cellWidth; ++column) {
          const int x = left + column;
          const int y = bottom + row;
          const bool inside = x >= 0 && x < side && y >= 0 && y < side;
          if (inside && font.PixelSet(text.chars[i], row, column))
            frame[y * side + x] = text.colour;
        }
      }
    }
  }
  return frame;
}

// Whether the pixel row y lies outside the maze, in the margins that hold the
// text: scene rows 0..29 and 330..359.
bool IsTextRow(int y, int scale) { return y < 30 * scale || y >= 330 * scale; }

// Every pixel of the text rows is exactly as `texts` paint it in `font`.
void ExpectTextRowsShowExactly(const std::vector<Text>& texts, int scale,
                               const FixedFont& font = FixedFont6x13) {
  const std::vector<Colour> expected = PaintTexts(texts, scale, font);
  const int side = kScenePixels * scale;
  int wrong = 0;
  for (int y = 0; y < side; ++y) {
    if (!IsTextRow(y, scale)) continue;
    for (int x = 0; x < side; ++x) {
      const Colour& want = expected[y * side + x];
      if (At(x, y) == want) continue;
      if (++wrong <= 5) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << testing::PrintToString(At(x, y))
                      << ", expected " << testing::PrintToString(want);
      }
    }
  }
  EXPECT_EQ(wrong, 0) << "pixels of the text rows that differ from the expected text";
}

// Where the pixels of one colour lie in the text rows: the leftmost column and
// the lowest and highest rows. Capitals stand on the baseline and reach 8
// rows above it; full stops and colons reach 1 row below it, descenders 2.
struct TextBox {
  const char* what;
  Colour colour;
  int left, bottom, top;
};

void ExpectTextBoxes(const std::vector<TextBox>& boxes) {
  for (const TextBox& box : boxes) {
    SCOPED_TRACE(box.what);
    int left = kScenePixels, bottom = kScenePixels, top = -1;
    for (int y = 0; y < kScenePixels; ++y) {
      if (!IsTextRow(y, 1)) continue;
      for (int x = 0; x < kScenePixels; ++x) {
        if (At(x, y) != box.colour) continue;
        left = std::min(left, x);
        bottom = std::min(bottom, y);
        top = std::max(top, y);
      }
    }
    EXPECT_EQ(left, box.left);
    EXPECT_EQ(bottom, box.bottom);
    EXPECT_EQ(top, box.top);
  }
}

// Two frames each: the first ends with magenta current, yet the status line
// of the second is red.
TEST_F(RenderTest, FramedWindowShowsStatusAndTitleButNoKeyHelp) {
  OpenWindow(Mode::Framed);
  DrawFrame(0);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(std::vector<GLfloat>(colour, colour + 3), (std::vector<GLfloat>{1, 0, 1}));
  DrawFrame(0);
  ExpectTextRowsShowExactly({{kSaysRest, 0, 16, kRed}, {kTitleAtZeroFps, 0, 350, kMagenta}}, 1);
  ExpectTextBoxes({
      {"status line", kRed, 1, 15, 24},
      {"title line", kMagenta, 0, 349, 358},
  });
}

// At 720 x 720 the glyphs keep their size while the positions double, so the
// key help lines, which run past the right edge at 360 x 360, show whole.
TEST_F(RenderTest, FullScreenShowsKeyHelpAtTheTopAndTitleAtTheBottom) {
  for (const int scale : {1, 2}) {
    SCOPED_TRACE(testing::Message() << scale << " pixels per scene unit");
    OpenWindow(Mode::FullScreen, Walls::Flat, kScenePixels * scale, kScenePixels * scale);
    DrawFrame(0);
    DrawFrame(0);
    ExpectTextRowsShowExactly({{kSaysRest, 0, 16, kRed},
                               {kKeyLabel, 0, 350, kGreen},
                               {kKeyHelpFirst, 50, 350, kGreen},
                               {kKeyHelpSecond, 50, 335, kGreen},
                               {kTitleAtZeroFps, 0, 0, kMagenta}},
                              scale);
  }
  // Back at one pixel per unit: the descenders of "Key: " and "Speed Up"
  // bound the key help below; the title's colon is cut off below row 0.
  OpenWindow(Mode::FullScreen);
  DrawFrame(0);
  ExpectTextBoxes({
      {"title line", kMagenta, 0, 0, 8},
      {"status line", kRed, 1, 15, 24},
      {"key help", kGreen, 0, 333, 358},
  });
}

// Without a keyboard (a browser on a touch screen, whose page has buttons for
// the keys) the full-screen picture keeps its title and status lines and
// leaves the key help out.
TEST_F(RenderTest, FullScreenWithoutAKeyboardLeavesTheKeyHelpOut) {
  OpenWindow(Mode::FullScreen);
  offscreen::Get().hasKeyboard = false;
  DrawFrame(0);
  DrawFrame(0);
  ExpectTextRowsShowExactly({{kSaysRest, 0, 16, kRed}, {kTitleAtZeroFps, 0, 0, kMagenta}}, 1);
}

// The raster position of every glyph a frame draws, in drawing order, read in
// feedback mode: each glyph's glBitmap reports where it starts, so a blank
// counts as much as a letter. At 360 x 360 window coordinates are scene units.
std::vector<std::pair<int, int>> GlyphPositionsOfOneFrame() {
  std::vector<GLfloat> buffer(1 << 16);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  DrawFrame(0);
  const GLint used = glRenderMode(GL_RENDER);
  EXPECT_GT(used, 0) << "the feedback buffer overflowed";
  std::vector<std::pair<int, int>> glyphs;
  for (GLint i = 0; i < used;) {
    const auto token = static_cast<GLenum>(buffer[i++]);
    switch (token) {
      case GL_BITMAP_TOKEN:
        glyphs.emplace_back(std::lround(buffer[i]), std::lround(buffer[i + 1]));
        i += 2;
        break;
      case GL_POLYGON_TOKEN:
        i += 1 + 2 * static_cast<GLint>(buffer[i]);
        break;
      case GL_LINE_TOKEN:
      case GL_LINE_RESET_TOKEN:
        i += 4;
        break;
      case GL_PASS_THROUGH_TOKEN:
        i += 1;
        break;
      default:  // points and pixel rectangles: one vertex
        i += 2;
        break;
    }
  }
  return glyphs;
}

TEST_F(RenderTest, EveryTextIsDrawnOneGlyphPerByteFromItsPlace) {
  struct Text {
    const char* text;
    int x, y;
  };
  const std::vector<Text> framed = {{kSaysRest, 0, 16}, {kTitleAtZeroFps, 0, 350}};
  const std::vector<Text> fullScreen = {{kSaysRest, 0, 16},
                                        {kKeyLabel, 0, 350},
                                        {kKeyHelpFirst, 50, 350},
                                        {kKeyHelpSecond, 50, 335},
                                        {kTitleAtZeroFps, 0, 0}};
  for (const Mode mode : {Mode::Framed, Mode::FullScreen}) {
    SCOPED_TRACE(mode == Mode::Framed ? "framed" : "full screen");
    OpenWindow(mode);
    std::vector<std::pair<int, int>> expected;
    for (const Text& text : mode == Mode::Framed ? framed : fullScreen) {
      for (size_t i = 0; text.text[i] != '\0'; ++i) {
        expected.emplace_back(text.x + static_cast<int>(i) * FixedFont6x13.cellWidth, text.y);
      }
    }
    EXPECT_EQ(GlyphPositionsOfOneFrame(), expected);
  }
}

// A backend font that left the lists empty: the window and its context
// still come up, the frames still show the maze, and every text draws
// nothing.
TEST_F(RenderTest, WithoutGlyphsTheFramesShowTheMazeButNoText) {
  ownFont_ = [](uint32_t, int, int) { return true; };
  for (const Mode mode : {Mode::Framed, Mode::FullScreen}) {
    SCOPED_TRACE(mode == Mode::Framed ? "framed" : "full screen");
    OpenWindow(mode);
    DrawFrameOf(FilledGrid(Open));
    ExpectTextRowsShowExactly({}, 1);
    EXPECT_TRUE(ColourNear(CellLeft(0) + 15, CellBottom(0) + 15, kOpenFill));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
}

// The text's font: the embedded one of the screen's density, 12x24 from a
// content scale of 2 on, unless the backend has a font of its own (as Win32
// has), which comes first. Drawn on a 720 x 720 area, where the larger font
// fits the text rows.
TEST_F(RenderTest, TextComesInTheFontOfTheScaleUnlessTheBackendHasItsOwn) {
  struct Case {
    const char* name;
    float contentScale;
    const FixedFont* ownFont;  // null: the backend has none
    const FixedFont* shown;
  };
  for (const Case& c : {Case{"scale_2", 2, nullptr, &FixedFont12x24},
                        Case{"scale_1.5", 1.5f, nullptr, &FixedFont6x13},
                        Case{"own_font_at_scale_1", 1, &FixedFont12x24, &FixedFont12x24},
                        Case{"own_font_at_scale_2", 2, &FixedFont6x13, &FixedFont6x13}}) {
    SCOPED_TRACE(c.name);
    contentScale_ = c.contentScale;
    ownFont_ = nullptr;
    if (c.ownFont != nullptr) {
      ownFont_ = [font = c.ownFont](uint32_t listBase, int firstChar, int count) {
        return CompileFixedFontLists(*font, listBase, firstChar, count);
      };
    }
    OpenWindow(Mode::Framed, Walls::Flat, 2 * kScenePixels, 2 * kScenePixels);
    DrawFrame(0);
    ExpectTextRowsShowExactly({{kSaysRest, 0, 16, kRed}, {kTitleAtZeroFps, 0, 350, kMagenta}}, 2,
                              *c.shown);
  }
}

// One explorer tick per frame, drawn after the tick: the probe frame already
// shows the cell ahead as Trail and says so, and the arrow's tail, 8 units
// behind its centre, moves one pixel a frame.
TEST_F(RenderTest, EachFrameStepsTheExplorerOnceAndShowsWhereTheStepLeftIt) {
  OpenWindow();
  App.Explorer.pose = Pose{};
  App.Explorer.path.push(App.Explorer.pose);
  App.Explorer.state = Choosing;
  App.Explorer.paused = 0;
  DrawFrameOf(With(FilledGrid(Wall), {{0, 0, Open}, {1, 0, Open}, {2, 0, Exit}}));
  EXPECT_TRUE(ColourNear(CellLeft(1) + 15, CellBottom(0) + 15, {0, 179, 0}));
  ExpectTextRowsShowExactly({{kSaysCanMove, 0, 16, kRed}, {kTitleAtZeroFps, 0, 350, kMagenta}}, 1);
  for (int frame = 1; frame <= 5; ++frame) {
    SCOPED_TRACE(testing::Message() << "frame " << frame);
    if (frame > 1) DrawFrame(0);
    EXPECT_EQ(App.Explorer.pose.progress, frame);
    const int tail = CellLeft(0) + 15 + frame - 8;
    EXPECT_EQ(At(tail, CellBottom(0) + 15), kRed);
    EXPECT_NE(At(tail - 1, CellBottom(0) + 15), kRed);
  }
}

TEST(TitleLineTest, CarriesTheFrameRateFigure) {
  const std::pair<int, const char*> cases[] = {
      {0, kTitleAtZeroFps},
      {60, "Pathwick --Demo Corvinder 2002-5-18 ---FPS: 60"},
  };
  for (const auto& [fps, expected] : cases) {
    char line[kTitleLineSize];
    FormatTitleLine(line, fps);
    EXPECT_STREQ(line, expected);
  }
}

TEST(ComputeViewportTest, TakesTheLargestCentredSquare) {
  struct Case {
    int width, height;
    ViewportRect expected;
  };
  const Case cases[] = {
      {800, 600, {100, 0, 600, 600}}, {600, 800, {0, 100, 600, 600}},
      {801, 600, {100, 0, 600, 600}}, {600, 600, {0, 0, 600, 600}},
      {0, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComputeViewport(c.width, c.height), c.expected) << c.width << " x " << c.height;
  }
}

TEST(CellAtPointTest, InvertsTheSquareWithYDownward) {
  struct Case {
    int width, height, x, y;  // the point from the client area's top-left corner
    std::optional<MazeCell> expected;
  };
  const Case cases[] = {
      // One pixel a scene unit: the bottom-left cell covers pixels 30..59
      // from the left and rows 300..329 from the top.
      {360, 360, 30, 329, MazeCell{0, 0}},
      {360, 360, 59, 300, MazeCell{0, 0}},
      {360, 360, 60, 299, MazeCell{1, 1}},
      {360, 360, 329, 30, MazeCell{9, 9}},
      {360, 360, 29, 329, std::nullopt},  // the margin left of the maze
      {360, 360, 30, 330, std::nullopt},  // the margin under it
      {360, 360, 330, 30, std::nullopt},
      {360, 360, 30, 29, std::nullopt},
      // A wide area: bands of 100 pixels left and right; 5/3 pixel a unit.
      {800, 600, 99, 300, std::nullopt},
      {800, 600, 700, 300, std::nullopt},
      {800, 600, 150, 549, MazeCell{0, 0}},
      {800, 600, 149, 549, std::nullopt},
      {800, 600, 649, 50, MazeCell{9, 9}},
      {800, 600, 650, 50, std::nullopt},
      // A tall area with an odd band: 100 pixels below the square, 101 above.
      {400, 601, 40, 100, std::nullopt},
      {400, 601, 40, 101, std::nullopt},  // the square's top row: the margin
      {400, 601, 40, 467, MazeCell{0, 0}},
      {400, 601, 40, 468, std::nullopt},
      // Full screen at 1920 x 1080: three pixels a unit; the centre of the
      // cell of column 4, row 7 is scene (165, 255).
      {1920, 1080, 420 + 495, 1079 - 765, MazeCell{4, 7}},
      {1920, 1080, 419, 540, std::nullopt},
      // Outside the client area, and no area at all.
      {360, 360, -1, 100, std::nullopt},
      {360, 360, 100, 360, std::nullopt},
      {0, 0, 0, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CellAtPoint(c.width, c.height, c.x, c.y), c.expected)
        << c.width << " x " << c.height << " at (" << c.x << ", " << c.y << ")";
  }
}

// Every pixel of the window, at many sizes: a click there lands on the cell
// that the frame shows there, and outside the maze on none. The cells get
// five fills, placed so that every neighbour of a cell differs from it.
TEST_F(RenderTest, ClickedCellIsTheCellShownUnderThePixelAtAnyWindowSize) {
  const int32_t kCodes[] = {Open, DeadEnd, Trail, Marker, Exit};
  const Colour kFills[] = {kOpenFill, {128, 128, 128}, {0, 179, 0}, {128, 128, 255}, kGreen};
  auto codeOf = [](int column, int row) { return (column + 2 * row) % 5; };
  auto Near = [](const Colour& a, const Colour& b) {
    return std::abs(std::get<0>(a) - std::get<0>(b)) <= 2 &&
           std::abs(std::get<1>(a) - std::get<1>(b)) <= 2 &&
           std::abs(std::get<2>(a) - std::get<2>(b)) <= 2;
  };
  Grid grid;
  for (int column = 0; column < kMazeSide; ++column) {
    for (int row = 0; row < kMazeSide; ++row)
      grid[Index(column, row)] = kCodes[codeOf(column, row)];
  }
  const std::pair<int, int> sizes[] = {{360, 360}, {404, 380},  {601, 400}, {400, 601},
                                       {97, 133},  {1024, 768}, {1366, 768}};
  for (const auto& [width, height] : sizes) {
    SCOPED_TRACE(testing::Message() << width << " x " << height);
    OpenWindow(Mode::Framed, Walls::Flat, width, height);
    DrawFrameOf(grid);
    int mismatches = 0;
    for (int y = 0; y < height && mismatches < 5; ++y) {
      for (int x = 0; x < width && mismatches < 5; ++x) {
        const int fromBottom = height - 1 - y;  // PixelAt counts rows from the bottom
        const Colour shown = At(x, fromBottom);
        int fill = -1;
        for (int i = 0; i < 5; ++i) {
          if (Near(shown, kFills[i])) fill = i;
        }
        // The red and magenta pixels of the texts and the arrow show no fill.
        const std::optional<MazeCell> cell = CellAtPoint(width, height, x, y);
        const bool wrong =
            cell ? shown == kBlack || (fill >= 0 && fill != codeOf(cell->column, cell->row))
                 : fill >= 0;
        if (wrong) {
          ++mismatches;
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") from the top-left shows fill " << fill
                        << ", a click there gives "
                        << (cell ? testing::PrintToString(*cell) : std::string("no cell"));
        }
      }
    }
  }
}

TEST_F(RenderTest, SceneFillsTheCentredSquareAndTheBandsStayBlack) {
  struct Case {
    int width, height;
    int left, bottom;  // of the 600 x 600 square
  };
  const Case cases[] = {{800, 600, 100, 0}, {600, 800, 0, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    OpenWindow(Mode::Framed, Walls::Flat, c.width, c.height);
    App.Explorer.pose = Pose{5, 5, 0, 0, 0};
    DrawFrameOf(With(FilledGrid(Open), {{0, 0, Exit}, {9, 9, Marker}}));
    // The bands beside the square.
    if (c.left > 0) {
      EXPECT_EQ(ColoursIn(0, 0, c.left - 1, c.height - 1), Colours{kBlack});
      EXPECT_EQ(ColoursIn(c.left + 600, 0, c.width - 1, c.height - 1), Colours{kBlack});
    } else {
      EXPECT_EQ(ColoursIn(0, 0, c.width - 1, c.bottom - 1), Colours{kBlack});
      EXPECT_EQ(ColoursIn(0, c.bottom + 600, c.width - 1, c.height - 1), Colours{kBlack});
    }
    // A scene unit is 5/3 pixel: cell (0, 0) covers 50..100 in the square,
    // cell (9, 9) is centred on 525.
    EXPECT_TRUE(ColourNear(c.left + 53, c.bottom + 53, kGreen));
    EXPECT_TRUE(ColourNear(c.left + 96, c.bottom + 96, kGreen));
    EXPECT_TRUE(ColourNear(c.left + 47, c.bottom + 75, kBlack));
    EXPECT_TRUE(ColourNear(c.left + 75, c.bottom + 47, kBlack));
    EXPECT_TRUE(ColourNear(c.left + 525, c.bottom + 525, {128, 128, 255}));
  }
}

class DrawStringTest : public RenderTest {
 protected:
  void SetUp() override { OpenWindow(); }

  // Everything one string draws on a cleared frame.
  std::vector<Colour> Drawn(const char* text) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1.0f, 1.0f, 0.0f);  // kYellow
    DrawString(text, 100, 200);
    std::vector<Colour> pixels;
    for (int y = 0; y < kScenePixels; ++y) {
      for (int x = 0; x < kScenePixels; ++x) pixels.push_back(At(x, y));
    }
    return pixels;
  }
};

// The text code's 6x13 lists, and the 12x24 font (two bytes a row) compiled
// over them as the text code does on a dense screen.
TEST_F(DrawStringTest, DrawsEachByteAsItsGlyphAdvancingOneCell) {
  for (const FixedFont* font : {&FixedFont6x13, &FixedFont12x24}) {
    SCOPED_TRACE(testing::Message() << font->cellWidth << "x" << font->cellHeight);
    if (font != &FixedFont6x13) {
      ASSERT_TRUE(CompileFixedFontLists(*font, FontListBase, kFontFirstChar, kFontCharCount));
    }
    Drawn("AB");
    for (int i = 0; i < 2; ++i) {
      const int left = 100 + i * font->cellWidth;
      const int bottom = 200 - font->descent;
      for (int row = 0; row < font->cellHeight; ++row) {
        for (int column = 0; column < font->cellWidth; ++column) {
          const bool set = font->PixelSet('A' + i, row, column);
          EXPECT_EQ(At(left + column, bottom + row), set ? kYellow : kBlack)
              << "glyph " << i << ", row " << row << ", column " << column;
        }
      }
    }
  }
}

TEST_F(DrawStringTest, EmptyStringDrawsNothingButSetsTheRasterPosition) {
  const std::vector<Colour> drawn = Drawn("");
  EXPECT_EQ(Colours(drawn.begin(), drawn.end()), Colours{kBlack});
  GLfloat position[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
  EXPECT_FLOAT_EQ(position[0], 100.0f);
  EXPECT_FLOAT_EQ(position[1], 200.0f);
}

TEST_F(DrawStringTest, BytesOutsideTheFontDrawNothingAndDoNotAdvance) {
  const std::vector<Colour> reference = Drawn("AB");
  ASSERT_EQ(Colours(reference.begin(), reference.end()), (Colours{kBlack, kYellow}));
  for (const char* text : {"A\x01"
                           "B",
                           "A\x1f"
                           "B",
                           "\x0c"
                           "AB",
                           "A\x80"
                           "B",
                           "A\xff"
                           "B"}) {
    EXPECT_TRUE(Drawn(text) == reference) << testing::PrintToString(text);
  }
}

TEST_F(DrawStringTest, RestoresTheListBaseAndLeavesUnpackAlignmentFour) {
  glListBase(77);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  DrawString("Hello", 0, 100);
  GLint listBase = 0;
  GLint alignment = 0;
  glGetIntegerv(GL_LIST_BASE, &listBase);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(listBase, 77);
  EXPECT_EQ(alignment, 4);
}

}  // namespace
