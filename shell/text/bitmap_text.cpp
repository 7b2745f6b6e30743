#include "shell/text/bitmap_text.h"

#include <cstring>

#include "shell/platform/gl.h"
#include "shell/platform/platform.h"
#include "shell/text/fixed_font.h"

namespace {

// From twice the usual density on, the font of twice the size.
const FixedFont& EmbeddedFontFor(float contentScale) {
  return contentScale >= 2 ? FixedFont12x24 : FixedFont6x13;
}

}  // namespace

uint32_t FontListBase = 0;

uint32_t BuildFont() {
  FontListBase = glGenLists(kFontCharCount);
  if (!PlatformBuildFontLists(FontListBase, kFontFirstChar, kFontCharCount)) {
    CompileFixedFontLists(EmbeddedFontFor(PlatformContentScale()), FontListBase, kFontFirstChar,
                          kFontCharCount);
  }
  return FontListBase;
}

void DeleteFont() {
  glDeleteLists(FontListBase, kFontCharCount);
  FontListBase = 0;
}

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
