#include "shell/gl.h"
#include "shell/platform/fixed_font.h"

bool CompileFixedFontLists(uint32_t listBase, int firstChar, int count) {
  const int first = firstChar - kFontFirstChar;
  if (first < 0 || count < 0 || first + count > kFontCharCount) return false;
  // The glyph rows are one byte each; compile them byte-aligned, then put the
  // alignment back to the default that the texture upload relies on.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < count; ++i) {
    glNewList(listBase + i, GL_COMPILE);
    glBitmap(kFontCellWidth, kFontCellHeight, 0.0f, static_cast<GLfloat>(kFontDescent),
             static_cast<GLfloat>(kFontCellWidth), 0.0f, FixedFontBitmaps[first + i]);
    glEndList();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  return true;
}
