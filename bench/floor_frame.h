// The benchmark's floor: the OpenGL work of one of the program's frames,
// written out by hand with nothing else. It fills the same pixels in the same
// ways: the map's wall cells textured with the same upload and tinted, the
// other cells flat, the arrow as a fan, the strings as glBitmap display lists
// with glFinish after each. It issues the program's calls in the program's
// order (texturing switched on around each wall cell), so the ratio of the
// two rates is what everything else costs, and keeps no search, no frame
// loop and no message queue. Of the program it
// shares only the BMP reader and the font's glyph table, so that the texture
// and the glyphs are the same; it calls none of its drawing or frame code.
#pragma once

#include <GL/osmesa.h>

#include <memory>
#include <string>
#include <vector>

// What the floor draws: which cells are walls and the wall texture.
struct FloorScene {
  std::vector<bool> walls;  // kCellCount cells, cell (x, y) at x + 10 * y
  std::unique_ptr<unsigned char[]> texturePixels;
  int textureWidth = 0;
  int textureHeight = 0;
};

// Reads MazeMap.txt and Stone.BMP from `dataDir`; false with a reason in
// `error` when either cannot be read.
bool LoadFloorScene(const std::string& dataDir, FloorScene* scene, std::string* error);

// An offscreen OSMesa context of the given size, set up like the program's
// (viewport, projection, depth test, culling, texture, font), that draws
// floor frames. Drawing needs ok().
class FloorRenderer {
 public:
  FloorRenderer(const FloorScene& scene, int width, int height, bool fullScreen);
  ~FloorRenderer();
  FloorRenderer(const FloorRenderer&) = delete;
  FloorRenderer& operator=(const FloorRenderer&) = delete;

  bool ok() const { return context_ != nullptr; }

  // Makes the context current again after another one was.
  void MakeCurrent();

  // Draws one frame: the framed window's two strings or the full screen's
  // five, the 100 cells and the arrow.
  void DrawFrame();

 private:
  void SetUpState(const FloorScene& scene);
  void DrawCells();

  std::vector<bool> walls_;
  int width_;
  int height_;
  bool fullScreen_;
  OSMesaContext context_ = nullptr;
  std::vector<unsigned char> colourBuffer_;
  GLuint fontBase_ = 0;
};
