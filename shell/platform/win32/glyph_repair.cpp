// The Win32 backend's font lists: wglUseFontBitmapsA's display lists of the
// window's font, with the glyphs it builds wrong rebuilt from GDI's own
// drawing of the character.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "shell/platform/gl.h"
#include "shell/platform/platform.h"
#include "shell/platform/win32/win32_backend.h"

using win32::AppWindow;

namespace {

// How far `list` moves the raster position along x, run once from the
// origin with every buffer write off. False when OpenGL cannot tell (the
// raster position is not valid).
bool ListAdvance(GLuint list, GLfloat* advance) {
  glPushAttrib(GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  glRasterPos2i(0, 0);
  GLfloat before[4] = {};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, before);
  glCallList(list);
  GLfloat after[4] = {};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
  GLboolean valid = GL_FALSE;
  glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
  glPopAttrib();
  *advance = after[0] - before[0];
  return valid != GL_FALSE;
}

// A character as GDI draws it with TextOutA in the window's font: the ink
// of each pixel, 0 (none) to 255 (full), rows top first; all 0 where GDI
// cannot draw it. The cell leaves
// `pad` pixels around the font's largest glyph for overhangs; the text's
// origin is `pad` pixels in, on the baseline `baseline` rows from the top.
struct GlyphPicture {
  int width = 0;
  int height = 0;
  int pad = 0;
  int baseline = 0;
  std::vector<uint8_t> ink;
};

// Draws `character` white on black into a DIB of `bitsPerPixel` bits: 1
// gives GDI's unsmoothed glyph, the bitmap wglUseFontBitmapsA compiles too;
// 32 gives what GDI draws on the screen, smoothed where the font and the
// system settings smooth text.
GlyphPicture DrawWithGdi(HDC windowDC, UINT character, int bitsPerPixel) {
  TEXTMETRICA metrics = {};
  GetTextMetricsA(windowDC, &metrics);
  GlyphPicture picture;
  picture.pad = static_cast<int>(metrics.tmHeight) / 2;
  picture.width = static_cast<int>(metrics.tmMaxCharWidth) + 2 * picture.pad;
  picture.height = static_cast<int>(metrics.tmHeight) + 2 * picture.pad;
  picture.baseline = picture.pad + static_cast<int>(metrics.tmAscent);
  picture.ink.assign(static_cast<size_t>(picture.width) * picture.height, 0);

  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info = {};
  info.header.biSize = sizeof(info.header);
  info.header.biWidth = picture.width;
  info.header.biHeight = -picture.height;  // top row first
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.colours[1] = RGBQUAD{255, 255, 255, 0};
  void* bits = nullptr;
  const HDC memory = CreateCompatibleDC(windowDC);
  const HBITMAP bitmap = memory == nullptr
                             ? nullptr
                             : CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&info),
                                                DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) {
    if (memory != nullptr) DeleteDC(memory);
    return picture;
  }
  const HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  const HGDIOBJ oldFont = SelectObject(memory, GetCurrentObject(windowDC, OBJ_FONT));
  PatBlt(memory, 0, 0, picture.width, picture.height, BLACKNESS);
  SetTextColor(memory, RGB(255, 255, 255));
  SetBkMode(memory, TRANSPARENT);
  SetTextAlign(memory, TA_BASELINE | TA_LEFT);
  const char text = static_cast<char>(character);
  TextOutA(memory, picture.pad, picture.baseline, &text, 1);
  GdiFlush();
  const int stride = (picture.width * bitsPerPixel + 31) / 32 * 4;
  const auto* bytes = static_cast<const uint8_t*>(bits);
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* row = bytes + static_cast<size_t>(y) * stride;
    for (int x = 0; x < picture.width; ++x) {
      uint8_t ink = 0;
      if (bitsPerPixel == 1) {
        ink = (row[x / 8] & (0x80 >> (x % 8))) != 0 ? 255 : 0;
      } else {
        const uint8_t* pixel = row + x * 4;  // blue, green, red
        ink = static_cast<uint8_t>((pixel[0] + pixel[1] + pixel[2]) / 3);
      }
      picture.ink[static_cast<size_t>(y) * picture.width + x] = ink;
    }
  }
  SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return picture;
}

// At least half covered: the pixels a one-bit glyph should have.
constexpr uint8_t kHalfInk = 128;

// Whether the unsmoothed glyph lacks a pixel that GDI's own drawing covers
// at least half, or has one that GDI leaves without ink. Small TrueType
// glyphs come out so under Wine (a hyphen as a dot, an "i" without its dot
// in the CJK font at 16 pixels, for instance), where the smoothed drawing
// keeps their shape.
bool FallsShort(const GlyphPicture& unsmoothed, const GlyphPicture& drawn) {
  for (size_t i = 0; i < drawn.ink.size(); ++i) {
    const bool inked = unsmoothed.ink[i] != 0;
    if (inked ? drawn.ink[i] == 0 : drawn.ink[i] >= kHalfInk) return true;
  }
  return false;
}

// Compiles `list` as the pixels of `picture` at least half covered, the
// origin on its baseline, advancing by `advance`. The rows are packed to
// four bytes, which suits the default unpack alignment.
void CompileGlyph(GLuint list, const GlyphPicture& picture, GLfloat advance) {
  const int stride = (picture.width + 31) / 32 * 4;
  std::vector<GLubyte> rows(static_cast<size_t>(stride) * picture.height, 0);
  for (int y = 0; y < picture.height; ++y) {
    GLubyte* row = rows.data() + static_cast<size_t>(picture.height - 1 - y) * stride;
    for (int x = 0; x < picture.width; ++x) {
      if (picture.ink[static_cast<size_t>(y) * picture.width + x] >= kHalfInk) {
        row[x / 8] |= static_cast<GLubyte>(0x80 >> (x % 8));
      }
    }
  }
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
  glNewList(list, GL_COMPILE);
  glBitmap(picture.width, picture.height, static_cast<GLfloat>(picture.pad),
           static_cast<GLfloat>(picture.height - picture.baseline), advance, 0.0f, rows.data());
  glEndList();
  glPopClientAttrib();
}

// wglUseFontBitmapsA builds each list from the glyph's unsmoothed bitmap.
// Two kinds of list come out wrong, depending on the font (Wine builds the
// lists from GetGlyphOutline, Windows from the font's own bitmaps):
// - A glyph without pixels (the space) is a bitmap without data, which some
//   drivers (Mesa under Wine) compile into a list that does not move the
//   raster position: words run together. So is a glyph Wine could not get
//   (it stops at the first). Such a list is rebuilt from GDI's drawing,
//   advancing by the width GDI gives the character.
// - A glyph whose unsmoothed bitmap falls short of what GDI draws for the
//   character is rebuilt from GDI's drawing, keeping its advance.
// Every other list stays as wglUseFontBitmapsA built it.
void MendFontLists(uint32_t listBase, int firstChar, int count) {
  for (int index = 0; index < count; ++index) {
    const GLuint list = listBase + static_cast<GLuint>(index);
    const UINT character = static_cast<UINT>(firstChar + index);
    GLfloat advance = 0.0f;
    if (!ListAdvance(list, &advance)) continue;
    const bool staysPut = advance == 0.0f;
    if (staysPut) {
      INT width = 0;
      if (GetCharWidth32A(AppWindow.WindowDC, character, character, &width) == FALSE ||
          width <= 0) {
        continue;
      }
      advance = static_cast<GLfloat>(width);
    }
    const GlyphPicture drawn = DrawWithGdi(AppWindow.WindowDC, character, 32);
    if (staysPut || FallsShort(DrawWithGdi(AppWindow.WindowDC, character, 1), drawn)) {
      CompileGlyph(list, drawn, advance);
    }
  }
}

}  // namespace

// The glyphs of the device context's default font: none is ever selected.
bool PlatformBuildFontLists(uint32_t listBase, int firstChar, int count) {
  const bool built = wglUseFontBitmapsA(AppWindow.WindowDC, static_cast<DWORD>(firstChar),
                                        static_cast<DWORD>(count), listBase) != FALSE;
  // Without GDI's lists there is nothing to mend: the embedded font fills them.
  if (!built) return false;
  MendFontLists(listBase, firstChar, count);
  return true;
}
