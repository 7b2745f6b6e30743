// Metrics and bitmaps of the embedded 6x13 fixed font (X11 misc-fixed, public domain),
// character codes 32..127. The bitmaps are generated into fixed_font.cpp by
// tools/convert_bdf_font.py, which also checks these metrics against the font.
#pragma once

#include <cstdint>

#include "shell/bitmap_text.h"  // kFontFirstChar, kFontCharCount

constexpr int kFontCellWidth = 6;    // advance in pixels, the same for every glyph
constexpr int kFontCellHeight = 13;  // rows per glyph bitmap
constexpr int kFontDescent = 2;      // rows below the baseline

// One glyph per character code (index = code - kFontFirstChar), each padded to the full
// cell, one byte per row. Row 0 is the BOTTOM row of the cell (glBitmap order); bit 7 is
// the leftmost pixel, and bits below the cell width are zero. The font has no glyph for
// code 127 (DEL), so its cell is blank.
//
// Drawn with an unpack alignment of 1 as
//   glBitmap(kFontCellWidth, kFontCellHeight, 0, kFontDescent, kFontCellWidth, 0, bitmap)
// the raster position is the left end of the baseline.
extern const unsigned char FixedFontBitmaps[kFontCharCount][kFontCellHeight];

// Compiles the glyphs of the codes from `firstChar` on into the `count`
// display lists from `listBase` on, in the current OpenGL context. False when
// the range asks for codes outside 32..127. The backends without a font of
// their own use it.
bool CompileFixedFontLists(uint32_t listBase, int firstChar, int count);
