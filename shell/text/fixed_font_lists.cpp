#include "shell/platform/gl.h"
#include "shell/text/fixed_font.h"

bool CompileFixedFontLists(const FixedFont& font, uint32_t listBase, int firstChar, int count) {
  const int first = firstChar - kFontFirstChar;
  if (first < 0 || count < 0 || first + count > kFontCharCount) return false;
  // The glyph rows are whole bytes; compile them byte-aligned, then put the
  // alignment back to the default that the texture upload relies on.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < count; ++i) {
    glNewList(listBase + i, GL_COMPILE);
    glBitmap(font.cellWidth, font.cellHeight, 0.0f, static_cast<GLfloat>(font.descent),
             static_cast<GLfloat>(font.cellWidth), 0.0f, font.Glyph(firstChar + i));
    glEndList();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  return true;
}
