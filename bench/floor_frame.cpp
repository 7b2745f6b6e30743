#include "bench/floor_frame.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "explorer/maze_explorer.h"
#include "shell/files/bmp_file.h"
#include "shell/platform/gl.h"
#include "shell/text/fixed_font.h"

namespace {

constexpr GLdouble kSceneSize = 360.0;

// Strings of the lengths the program shows: a status message, the title line
// with a three-digit figure, and the full screen's key help.
const char kStatus[] = "I see next position can move";
const char kTitleLine[] = "Pathwick --Demo Corvinder 2002-5-18 ---FPS: 300";
const char kKeyLabel[] = "Key: ";
const char kKeyHelpFirst[] = "<Return>:Start | <SHIFT>:Pause | <CTRL>:Resume | <ESC>:Exit";
const char kKeyHelpSecond[] = "<UP>:Speed Up | <DOWN>:Speed down | <End>: Full speed";

// The arrow on the start cell's centre, facing east, in front of the cells.
constexpr GLint kArrowX = 45;
constexpr GLint kArrowY = 45;
constexpr GLint kArrowZ = 3;
constexpr GLint kArrow[7][2] = {{10, 0}, {0, 10}, {0, 5}, {-8, 5}, {-8, -5}, {0, -5}, {0, -10}};

bool ReadWalls(const std::string& fileName, std::vector<bool>* walls) {
  std::ifstream file(fileName);
  walls->assign(kCellCount, false);
  for (int i = 0; i < kCellCount; ++i) {
    int code = 0;
    if (!(file >> code)) return false;
    (*walls)[i] = code == Wall;
  }
  return true;
}

// A string at (x, y) in the current colour; every string waits for the
// drawing before it, as the program's do.
void DrawText(const char* text, GLint x, GLint y) {
  glRasterPos2i(x, y);
  glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
  glFinish();
}

// A cell's square as one quad, counter-clockwise; a textured one carries the
// whole image once, its bottom-left at the cell's.
void CellQuad(int cell, bool textured) {
  const GLint x1 = kCellSize * (cell % kMazeSide) + kMazeOrigin;
  const GLint y1 = kCellSize * (cell / kMazeSide) + kMazeOrigin;
  const GLint x2 = x1 + kCellSize;
  const GLint y2 = y1 + kCellSize;
  const GLint corners[4][2] = {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}};
  const GLint texCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int i = 0; i < 4; ++i) {
    if (textured) glTexCoord2iv(texCoords[i]);
    glVertex2iv(corners[i]);
  }
}

void DrawArrow() {
  glColor3f(1.0f, 0.0f, 0.0f);
  glBegin(GL_TRIANGLE_FAN);
  for (const auto& vertex : kArrow) glVertex3i(kArrowX + vertex[0], kArrowY + vertex[1], kArrowZ);
  glEnd();
}

}  // namespace

bool LoadFloorScene(const std::string& dataDir, FloorScene* scene, std::string* error) {
  const std::string mapFile = dataDir + "/MazeMap.txt";
  if (!ReadWalls(mapFile, &scene->walls)) {
    *error = "cannot read " + mapFile;
    return false;
  }
  const std::string textureFile = dataDir + "/Stone.BMP";
  unsigned char* pixels = nullptr;
  BitmapInfoHeader info{};
  if (LoadBitmapFile(textureFile.c_str(), &pixels, &info) == 0) {
    *error = "cannot read " + textureFile;
    return false;
  }
  scene->texturePixels.reset(pixels);
  scene->textureWidth = info.biWidth;
  scene->textureHeight = info.biHeight;
  return true;
}

FloorRenderer::FloorRenderer(const FloorScene& scene, int width, int height, bool fullScreen)
    : walls_(scene.walls), width_(width), height_(height), fullScreen_(fullScreen) {
  // The same context as the offscreen platform gives the program.
  context_ = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
  if (context_ == nullptr) return;
  colourBuffer_.assign(4 * static_cast<size_t>(width) * height, 0);
  if (!OSMesaMakeCurrent(context_, colourBuffer_.data(), GL_UNSIGNED_BYTE, width_, height_)) {
    OSMesaDestroyContext(context_);
    context_ = nullptr;
    return;
  }
  SetUpState(scene);
}

FloorRenderer::~FloorRenderer() {
  if (context_ == nullptr) return;
  MakeCurrent();
  glDeleteLists(fontBase_, kFontCharCount);
  OSMesaDestroyContext(context_);
}

void FloorRenderer::MakeCurrent() {
  OSMesaMakeCurrent(context_, colourBuffer_.data(), GL_UNSIGNED_BYTE, width_, height_);
}

void FloorRenderer::SetUpState(const FloorScene& scene) {
  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);

  // The largest centred square, with the scene's projection on the
  // modelview matrix.
  const GLint side = std::min(width_, height_);
  glViewport((width_ - side) / 2, (height_ - side) / 2, side, side);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glOrtho(0.0, kSceneSize, 0.0, kSceneSize, -200.0, 200.0);

  // One glBitmap list per character; the list base stays put.
  fontBase_ = glGenLists(kFontCharCount);
  CompileFixedFontLists(FixedFont6x13, fontBase_, kFontFirstChar, kFontCharCount);
  glListBase(fontBase_ - kFontFirstChar);

  glTexImage2D(GL_TEXTURE_2D, 0, 3, scene.textureWidth, scene.textureHeight, 0, GL_BGR_EXT,
               GL_UNSIGNED_BYTE, scene.texturePixels.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

void FloorRenderer::DrawFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColor3f(1.0f, 0.0f, 0.0f);
  DrawText(kStatus, 0, 16);
  DrawCells();
  DrawArrow();
  if (fullScreen_) {
    glColor3f(0.0f, 1.0f, 0.0f);
    DrawText(kKeyLabel, 0, 350);
    DrawText(kKeyHelpFirst, 50, 350);
    DrawText(kKeyHelpSecond, 50, 335);
    glColor3f(1.0f, 0.0f, 1.0f);
    DrawText(kTitleLine, 0, 0);
  } else {
    glColor3f(1.0f, 0.0f, 1.0f);
    DrawText(kTitleLine, 0, 350);
  }
}

// Cell by cell, as the program draws them: texturing switched on around each
// wall, one colour and one rectangle for every other cell.
void FloorRenderer::DrawCells() {
  for (int cell = 0; cell < kCellCount; ++cell) {
    if (walls_[cell]) {
      glEnable(GL_TEXTURE_2D);
      glColor3f(0.4f, 0.2f, 0.0f);
      glBegin(GL_QUADS);
      CellQuad(cell, true);
      glEnd();
      glDisable(GL_TEXTURE_2D);
    } else {
      glColor3f(0.4f, 0.4f, 0.3f);
      glBegin(GL_QUADS);
      CellQuad(cell, false);
      glEnd();
    }
  }
}
