#include "shell/platform/web/web_gl.h"

#include <emscripten.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <map>
#include <vector>

#include "shell/platform/gl.h"

// WebGL's own glTexImage2D, which the one below passes on to.
extern "C" void emscripten_glTexImage2D(GLenum target, GLint level, GLint internalFormat,
                                        GLsizei width, GLsizei height, GLint border, GLenum format,
                                        GLenum type, const void* pixels);

namespace {

// The colour that the emulation's glColor calls last set.
EM_JS(void, ReadCurrentColour, (float* rgba), { HEAPF32.set(GLImmediate.clientColor, rgba >> 2); });

EM_JS(int, DrawingBufferWidth, (), { return GLctx.drawingBufferWidth; });
EM_JS(int, DrawingBufferHeight, (), { return GLctx.drawingBufferHeight; });

GLuint defaultTexture = 0;

// --- Textures ----------------------------------------------------------------

// WebGL's format for the desktop's internal formats given as a count of
// components.
GLint WebGlInternalFormat(GLint internalFormat) {
  switch (internalFormat) {
    case 1:
      return GL_LUMINANCE;
    case 2:
      return GL_LUMINANCE_ALPHA;
    case 3:
      return GL_RGB;
    case 4:
      return GL_RGBA;
    default:
      return internalFormat;
  }
}

// Bytes from the start of one pixel row to the next, as the unpack
// alignment pads them.
size_t UnpackedRowSize(GLsizei width, size_t bytesPerPixel) {
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  const size_t row = static_cast<size_t>(width) * bytesPerPixel;
  return (row + alignment - 1) / alignment * alignment;
}

// BGR pixels of unsigned bytes as RGB, rows padded the same.
std::vector<unsigned char> SwappedToRgb(GLsizei width, GLsizei height, const void* pixels) {
  const size_t rowSize = UnpackedRowSize(width, 3);
  const auto* bgr = static_cast<const unsigned char*>(pixels);
  std::vector<unsigned char> rgb(bgr, bgr + rowSize * height);
  for (GLsizei y = 0; y < height; ++y) {
    unsigned char* row = &rgb[rowSize * y];
    for (GLsizei x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
  }
  return rgb;
}

// --- Display lists of bitmaps -----------------------------------------------

// One bitmap of a list: where its pixels are in the atlas, and glBitmap's
// origin and advance.
struct ListBitmap {
  int width, height;
  int atlasX, atlasY;
  float xOrigin, yOrigin;
  float xMove, yMove;
};

// The bitmaps, one texel each, luminance 255 and alpha 255 where a bit is
// set, packed in rows of the atlas from the bottom up.
constexpr int kAtlasSide = 256;
struct Atlas {
  std::vector<unsigned char> texels = std::vector<unsigned char>(2 * kAtlasSide * kAtlasSide, 0);
  int shelfX = 0, shelfY = 0, shelfHeight = 0;
  GLuint texture = 0;
  bool uploaded = false;
};
Atlas atlas;

std::map<GLuint, std::vector<ListBitmap>> lists;
GLuint nextListName = 1;
GLuint compilingList = 0;  // 0 while no list is being compiled
GLuint listBase = 0;
std::vector<std::pair<GLbitfield, GLuint>> attributeStack;  // mask, list base

// Where glRasterPos put the raster position, in window coordinates, and
// the colour it took.
struct RasterPosition {
  bool valid = false;
  float x = 0, y = 0, depth = 0;
  std::array<float, 4> colour{};
};
RasterPosition raster;

// Finds room for a width x height bitmap in the atlas; false when full.
bool PlaceInAtlas(int width, int height, int* x, int* y) {
  if (width > kAtlasSide) return false;
  if (atlas.shelfX + width > kAtlasSide) {
    atlas.shelfX = 0;
    atlas.shelfY += atlas.shelfHeight;
    atlas.shelfHeight = 0;
  }
  if (atlas.shelfY + height > kAtlasSide) return false;
  *x = atlas.shelfX;
  *y = atlas.shelfY;
  atlas.shelfX += width;
  if (height > atlas.shelfHeight) atlas.shelfHeight = height;
  return true;
}

// Copies glBitmap's bits (rows bottom first, bit 7 leftmost, rows padded to
// the unpack alignment) into the atlas at (x, y).
void CopyBits(const GLubyte* bits, int width, int height, int x, int y) {
  const size_t rowSize = UnpackedRowSize((width + 7) / 8, 1);
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const bool set = (bits[row * rowSize + column / 8] >> (7 - column % 8)) & 1;
      unsigned char* texel = &atlas.texels[2 * ((y + row) * kAtlasSide + x + column)];
      texel[0] = texel[1] = set ? 255 : 0;
    }
  }
  atlas.uploaded = false;
}

void BindAtlas() {
  if (atlas.texture == 0) glGenTextures(1, &atlas.texture);
  glBindTexture(GL_TEXTURE_2D, atlas.texture);
  if (atlas.uploaded) return;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  emscripten_glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE_ALPHA, kAtlasSide, kAtlasSide, 0,
                          GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, atlas.texels.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  atlas.uploaded = true;
}

// One bitmap's quad: window pixels [x, x + width) x [y, y + height).
struct BitmapQuad {
  const ListBitmap* bitmap;
  int x, y;
};

void EmitQuad(const BitmapQuad& quad) {
  const ListBitmap& b = *quad.bitmap;
  const float s0 = static_cast<float>(b.atlasX) / kAtlasSide;
  const float t0 = static_cast<float>(b.atlasY) / kAtlasSide;
  const float s1 = static_cast<float>(b.atlasX + b.width) / kAtlasSide;
  const float t1 = static_cast<float>(b.atlasY + b.height) / kAtlasSide;
  // Depth -1..1 of the ortho volume below maps z = 1 - 2d to depth d.
  const float z = 1.0f - 2.0f * raster.depth;
  const auto x0 = static_cast<float>(quad.x), y0 = static_cast<float>(quad.y);
  const auto x1 = static_cast<float>(quad.x + b.width), y1 = static_cast<float>(quad.y + b.height);
  glTexCoord2f(s0, t0);
  glVertex3f(x0, y0, z);
  glTexCoord2f(s1, t0);
  glVertex3f(x1, y0, z);
  glTexCoord2f(s1, t1);
  glVertex3f(x1, y1, z);
  glTexCoord2f(s0, t1);
  glVertex3f(x0, y1, z);
}

// Draws the quads over the whole drawing area, one window unit a pixel, in
// the raster colour, and puts back what it changes. The program keeps the
// modelview matrix current and draws its text with texturing off (which the
// emulation cannot be asked about), and so does this.
void DrawBitmapQuads(const std::vector<BitmapQuad>& quads) {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  std::array<float, 4> colour{};
  ReadCurrentColour(colour.data());

  const int width = DrawingBufferWidth();
  const int height = DrawingBufferHeight();
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
  BindAtlas();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glColor4f(raster.colour[0], raster.colour[1], raster.colour[2], raster.colour[3]);

  glBegin(GL_QUADS);
  for (const BitmapQuad& quad : quads) EmitQuad(quad);
  glEnd();

  glColor4f(colour[0], colour[1], colour[2], colour[3]);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, defaultTexture);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}

// The product of the column-major 4 x 4 matrix m and the vector v.
std::array<float, 4> Transform(const float (&m)[16], const std::array<float, 4>& v) {
  std::array<float, 4> out{};
  for (int row = 0; row < 4; ++row) {
    for (int k = 0; k < 4; ++k) out[row] += m[4 * k + row] * v[k];
  }
  return out;
}

}  // namespace

void WebGlStart() {
  glGenTextures(1, &defaultTexture);
  glBindTexture(GL_TEXTURE_2D, defaultTexture);
}

void WebGlStop() {
  glDeleteTextures(1, &defaultTexture);
  if (atlas.texture != 0) glDeleteTextures(1, &atlas.texture);
  defaultTexture = 0;
  atlas = Atlas();
  lists.clear();
}

// --- The substitutes, under their OpenGL names --------------------------------

void glVertex3d(GLdouble x, GLdouble y, GLdouble z) {
  glVertex3f(static_cast<GLfloat>(x), static_cast<GLfloat>(y), static_cast<GLfloat>(z));
}

// A rectangle is the polygon (x1, y1), (x2, y1), (x2, y2), (x1, y2), which
// faces the viewer when x1 < x2 and y1 < y2.
void glRecti(GLint x1, GLint y1, GLint x2, GLint y2) {
  glBegin(GL_QUADS);
  glVertex2f(static_cast<GLfloat>(x1), static_cast<GLfloat>(y1));
  glVertex2f(static_cast<GLfloat>(x2), static_cast<GLfloat>(y1));
  glVertex2f(static_cast<GLfloat>(x2), static_cast<GLfloat>(y2));
  glVertex2f(static_cast<GLfloat>(x1), static_cast<GLfloat>(y2));
  glEnd();
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
  if (format == GL_BGR_EXT && type == GL_UNSIGNED_BYTE && pixels != nullptr) {
    const std::vector<unsigned char> rgb = SwappedToRgb(width, height, pixels);
    emscripten_glTexImage2D(target, level, GL_RGB, width, height, border, GL_RGB, type, rgb.data());
    return;
  }
  if (format == GL_BGR_EXT) format = GL_RGB;
  emscripten_glTexImage2D(target, level, WebGlInternalFormat(internalFormat), width, height, border,
                          format, type, pixels);
}

GLuint glGenLists(GLsizei range) {
  if (range <= 0) return 0;
  const GLuint first = nextListName;
  nextListName += static_cast<GLuint>(range);
  return first;
}

void glDeleteLists(GLuint list, GLsizei range) {
  for (GLsizei i = 0; i < range; ++i) lists.erase(list + i);
}

void glNewList(GLuint list, GLenum /*mode: lists are compiled, never executed meanwhile*/) {
  compilingList = list;
  lists[list].clear();
}

void glEndList() { compilingList = 0; }

// Kept in the list being compiled; the program draws bitmaps from lists only.
void glBitmap(GLsizei width, GLsizei height, GLfloat xOrigin, GLfloat yOrigin, GLfloat xMove,
              GLfloat yMove, const GLubyte* bits) {
  if (compilingList == 0) return;
  ListBitmap bitmap{width, height, 0, 0, xOrigin, yOrigin, xMove, yMove};
  if (width > 0 && height > 0) {
    if (!PlaceInAtlas(width, height, &bitmap.atlasX, &bitmap.atlasY)) bitmap.width = 0;
    if (bitmap.width > 0) CopyBits(bits, width, height, bitmap.atlasX, bitmap.atlasY);
  }
  lists[compilingList].push_back(bitmap);
}

void glListBase(GLuint base) { listBase = base; }

void glPushAttrib(GLbitfield mask) { attributeStack.emplace_back(mask, listBase); }

void glPopAttrib() {
  if (attributeStack.empty()) return;
  if (attributeStack.back().first & GL_LIST_BIT) listBase = attributeStack.back().second;
  attributeStack.pop_back();
}

// Takes (x, y, 0) through the modelview and projection matrices and the
// viewport; a point outside the view volume makes the position invalid, and
// bitmaps then draw nothing.
void glRasterPos2i(GLint x, GLint y) {
  float modelview[16], projection[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  const std::array<float, 4> clip = Transform(
      projection, Transform(modelview, {static_cast<float>(x), static_cast<float>(y), 0, 1}));
  const float w = clip[3];
  raster.valid =
      w > 0 && std::fabs(clip[0]) <= w && std::fabs(clip[1]) <= w && std::fabs(clip[2]) <= w;
  if (!raster.valid) return;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  raster.x = viewport[0] + (clip[0] / w + 1.0f) * viewport[2] / 2.0f;
  raster.y = viewport[1] + (clip[1] / w + 1.0f) * viewport[3] / 2.0f;
  raster.depth = (clip[2] / w + 1.0f) / 2.0f;
  ReadCurrentColour(raster.colour.data());
}

// Calls list listBase + byte for each byte; the program passes bytes only.
// Names of no list draw nothing and leave the raster position.
void glCallLists(GLsizei n, GLenum type, const GLvoid* names) {
  if (type != GL_UNSIGNED_BYTE || !raster.valid) return;
  const auto* bytes = static_cast<const GLubyte*>(names);
  std::vector<BitmapQuad> quads;
  for (GLsizei i = 0; i < n; ++i) {
    const auto list = lists.find(listBase + bytes[i]);
    if (list == lists.end()) continue;
    for (const ListBitmap& bitmap : list->second) {
      if (bitmap.width > 0) {
        // glBitmap's pixels start at the floor of the origin's place.
        quads.push_back({&bitmap, static_cast<int>(std::floor(raster.x - bitmap.xOrigin)),
                         static_cast<int>(std::floor(raster.y - bitmap.yOrigin))});
      }
      raster.x += bitmap.xMove;
      raster.y += bitmap.yMove;
    }
  }
  if (!quads.empty()) DrawBitmapQuads(quads);
}
