// glyph-lists-test: the Win32 backend's font lists against GDI's own text.
//
// Opens a framed window through the platform seam, builds the font lists as
// the program does (PlatformBuildFontLists), then for every character code
// 32..127 draws the character's list into the back buffer and reads it back,
// draws the character with TextOutA in the window's font into a 32-bit DIB,
// and compares the two: the list must draw every pixel GDI covers at least
// half and none that GDI leaves without ink, and move the raster position on
// where GDI gives the character a width. Prints every character that differs, both
// pictures side by side, and exits with 1; 0 when all are alike. Run under
// Wine by the wine_e2e test, at several scales and locales.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell/platform/gl.h"
#include "shell/platform/platform.h"

namespace {

constexpr int kFirstChar = 32;
constexpr int kCharCount = 96;
constexpr int kMargin = 8;  // room around the glyph cell for overhangs

// A glyph's pixels: `width` x `height`, row 0 the top one, each pixel's ink
// from 0 (none) to 255 (full).
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<int> ink;
  int at(int x, int y) const { return ink[static_cast<size_t>(y) * width + x]; }
};

constexpr int kHalfInk = 128;

int IgnoreMessages(const WindowMessage&) { return 0; }

// The character's list drawn in white on black with the raster position at
// (kMargin, baseline) from the bottom left, read back top row first.
// `advance` gets how far the list moved the raster position.
Picture DrawList(GLuint listBase, int character, int width, int height, int baseline,
                 float* advance) {
  glClear(GL_COLOR_BUFFER_BIT);
  glRasterPos2i(kMargin, baseline);
  GLfloat before[4] = {};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, before);
  glCallList(listBase + static_cast<GLuint>(character - kFirstChar));
  GLfloat after[4] = {};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
  *advance = after[0] - before[0];
  glFinish();
  std::vector<GLubyte> rgba(static_cast<size_t>(width) * height * 4);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  Picture picture{width, height, std::vector<int>(static_cast<size_t>(width) * height)};
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) {
      const size_t from = (static_cast<size_t>(row) * width + x) * 4;
      picture.ink[static_cast<size_t>(height - 1 - row) * width + x] = rgba[from];
    }
  }
  return picture;
}

// The character as TextOutA draws it in `font` into a 32-bit bitmap, as on
// the screen (smoothed where the font and the settings smooth text), with its
// baseline `baselineRow` rows from the top and its origin at kMargin.
Picture DrawWithGdi(HDC windowDC, HFONT font, int character, int width, int height,
                    int baselineRow) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const HDC memory = CreateCompatibleDC(windowDC);
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  const HGDIOBJ oldFont = SelectObject(memory, font);
  PatBlt(memory, 0, 0, width, height, BLACKNESS);
  SetTextColor(memory, RGB(255, 255, 255));
  SetBkMode(memory, TRANSPARENT);
  SetTextAlign(memory, TA_BASELINE | TA_LEFT);
  const char text = static_cast<char>(character);
  TextOutA(memory, kMargin, baselineRow, &text, 1);
  GdiFlush();
  Picture picture{width, height, std::vector<int>(static_cast<size_t>(width) * height)};
  const auto* pixels = static_cast<const unsigned char*>(bits);  // blue, green, red, unused
  for (size_t i = 0; i < picture.ink.size(); ++i) {
    picture.ink[i] = (pixels[i * 4] + pixels[i * 4 + 1] + pixels[i * 4 + 2]) / 3;
  }
  SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return picture;
}

// Whether the list draws every pixel GDI covers at least half, and none that
// GDI leaves without ink.
bool HasGdisPixels(const Picture& list, const Picture& gdi) {
  for (size_t i = 0; i < gdi.ink.size(); ++i) {
    const bool drawn = list.ink[i] >= kHalfInk;
    if (drawn ? gdi.ink[i] == 0 : gdi.ink[i] >= kHalfInk) return false;
  }
  return true;
}

// '#' at least half inked, '+' less, '.' none.
char InkMark(int ink) { return ink >= kHalfInk ? '#' : ink > 0 ? '+' : '.'; }

void PrintSideBySide(const Picture& list, const Picture& gdi) {
  std::printf("  lists%*s  GDI\n", list.width - 5, "");
  for (int y = 0; y < list.height; ++y) {
    std::string line = "  ";
    for (int x = 0; x < list.width; ++x) line += InkMark(list.at(x, y));
    line += "  ";
    for (int x = 0; x < gdi.width; ++x) line += InkMark(gdi.at(x, y));
    std::printf("%s\n", line.c_str());
  }
}

// 0 when every list has GDI's pixels and advances where GDI does.
int CompareEveryGlyph(HDC windowDC, GLuint listBase) {
  TEXTMETRICA metrics = {};
  GetTextMetricsA(windowDC, &metrics);
  const HFONT font = static_cast<HFONT>(GetCurrentObject(windowDC, OBJ_FONT));
  char face[LF_FACESIZE] = {};
  GetTextFaceA(windowDC, sizeof(face), face);
  std::printf("font '%s', %ld px high, code page %u\n", face, metrics.tmHeight, GetACP());
  const int width = metrics.tmMaxCharWidth + 2 * kMargin;
  const int height = metrics.tmHeight + 2 * kMargin;
  const int baseline = kMargin + metrics.tmDescent;  // rows from the bottom
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glClearColor(0, 0, 0, 1);
  glColor3f(1, 1, 1);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  int differing = 0;
  for (int character = kFirstChar; character < kFirstChar + kCharCount; ++character) {
    float advance = 0;
    const Picture list = DrawList(listBase, character, width, height, baseline, &advance);
    const Picture gdi = DrawWithGdi(windowDC, font, character, width, height, height - baseline);
    INT gdiAdvance = 0;
    GetCharWidth32A(windowDC, character, character, &gdiAdvance);
    if (HasGdisPixels(list, gdi) && (advance > 0 || gdiAdvance <= 0)) continue;
    ++differing;
    std::printf("character %d '%c': advance %g, GDI's %d\n", character, character, advance,
                gdiAdvance);
    PrintSideBySide(list, gdi);
  }
  std::printf("%d of %d glyphs differ from GDI's\n", differing, kCharCount);
  return differing == 0 ? 0 : 1;
}

}  // namespace

int main() {
  const PlatformSetup setup{GetModuleHandleA(nullptr), IgnoreMessages};
  const MenuBar noMenu{0, nullptr, 0};
  if (!PlatformOpen(setup, nullptr) ||
      !PlatformCreateFramedWindow("PathwickGlyphTest", "glyph lists", SW_SHOWNORMAL, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 420, 420, noMenu) ||
      !PlatformCreateContext()) {
    std::printf("cannot open a window with an OpenGL context\n");
    return 2;
  }
  const GLuint listBase = glGenLists(kCharCount);
  PlatformBuildFontLists(listBase, kFirstChar, kCharCount);
  const int result = CompareEveryGlyph(wglGetCurrentDC(), listBase);
  PlatformDestroyContext();
  PlatformDestroyWindow();
  std::fflush(stdout);
  return result;
}
