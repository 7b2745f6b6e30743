#include "shell/bitmap_text.h"

#include <cstring>

#include "shell/fixed_font.h"
#include "shell/gl.h"

uint32_t FontListBase = 0;

uint32_t BuildFont() {
  FontListBase = glGenLists(kFontCharCount);
  // The glyph rows are one byte each; compile them byte-aligned, then put the
  // alignment back to the default that the texture upload relies on.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < kFontCharCount; ++i) {
    glNewList(FontListBase + i, GL_COMPILE);
    glBitmap(kFontCellWidth, kFontCellHeight, 0.0f, static_cast<GLfloat>(kFontDescent),
             static_cast<GLfloat>(kFontCellWidth), 0.0f, FixedFontBitmaps[i]);
    glEndList();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  return FontListBase;
}

void DeleteFont() { glDeleteLists(FontListBase, kFontCharCount); }

void DrawString(const char* text, int x, int y) {
  glPushAttrib(GL_LIST_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glRasterPos2i(x, y);
  // Byte c calls list FontListBase - 32 + c; bytes outside 32..127 name no
  // list of the font and draw nothing.
  glListBase(FontListBase - kFontFirstChar);
  glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
  glPopAttrib();
  // Each string waits until everything drawn so far is complete.
  glFinish();
}
