// Text drawn with a bitmap font held in 96 display lists, one per character
// code from 32 to 127; each list draws its glyph at the raster position and
// advances the position by the glyph's width. The glyphs are the window's
// font, as the platform gives it.
#pragma once

#include <cstdint>

// The character codes that the font covers.
constexpr int kFontFirstChar = 32;
constexpr int kFontCharCount = 96;

// The first of the 96 display lists: set by BuildFont, 0 again after
// DeleteFont. The lists belong to the OpenGL context, and their base lives
// and ends with them, as the context does with the platform; so it is no
// part of the program's state (App) and the text code, below the explorer
// that draws with it, reads nothing above itself.
extern uint32_t FontListBase;

// Builds the font lists in the current context; returns FontListBase. When
// the platform cannot make the glyphs the lists stay empty and text draws
// nothing.
uint32_t BuildFont();

// Deletes the font lists built by BuildFont; FontListBase is 0 afterwards.
void DeleteFont();

// Draws a NUL-terminated 8-bit string with its baseline starting at (x, y)
// in the current coordinates and colour. Bytes outside 32..127 draw nothing.
void DrawString(const char* text, int x, int y);
