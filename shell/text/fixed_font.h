// The embedded bitmap fonts, character codes 32..127: X11 misc-fixed 6x13
// (public domain) and, for screens of twice the usual density, Sony's Fixed
// 12x24 of the same family (Sony's notice is in packaging/copyright). The
// bitmaps are generated into fixed_font_6x13.cpp and fixed_font_12x24.cpp by
// tools/convert_bdf_font.py.
#pragma once

#include <cstdint>

#include "shell/text/bitmap_text.h"  // kFontFirstChar, kFontCharCount

// One monospaced font: one glyph per character code, each padded to the full
// cell. A row of a glyph takes BytesPerRow() bytes. Row 0 is the BOTTOM row
// of the cell (glBitmap order); bit 7 of a row's first byte is the leftmost
// pixel, and bits right of the cell width are zero. The fonts have no glyph
// for code 127 (DEL), so its cell is blank.
//
// Drawn with an unpack alignment of 1 as
//   glBitmap(cellWidth, cellHeight, 0, descent, cellWidth, 0, Glyph(code))
// the raster position is the left end of the baseline.
struct FixedFont {
  int cellWidth;   // advance in pixels, the same for every glyph
  int cellHeight;  // rows per glyph bitmap
  int descent;     // rows below the baseline
  // kFontCharCount glyphs of cellHeight rows each, in code order.
  const unsigned char* bitmaps;

  int BytesPerRow() const { return (cellWidth + 7) / 8; }

  // The rows of the glyph of `code` (kFontFirstChar..kFontFirstChar + kFontCharCount - 1).
  const unsigned char* Glyph(int code) const {
    return bitmaps + (code - kFontFirstChar) * cellHeight * BytesPerRow();
  }

  // Whether the pixel at `column` of row `row` of the glyph of `code` is set.
  bool PixelSet(int code, int row, int column) const {
    return (Glyph(code)[row * BytesPerRow() + column / 8] & (0x80 >> (column % 8))) != 0;
  }
};

extern const FixedFont FixedFont6x13;
extern const FixedFont FixedFont12x24;

// Compiles the glyphs of `font` of the codes from `firstChar` on into the
// `count` display lists from `listBase` on, in the current OpenGL context.
// False when the range asks for codes outside 32..127. BuildFont uses it
// where the backend has no font of its own.
bool CompileFixedFontLists(const FixedFont& font, uint32_t listBase, int firstChar, int count);
