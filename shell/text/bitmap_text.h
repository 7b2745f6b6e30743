// Text drawn with a bitmap font held in 96 display lists, one per character
// code from 32 to 127; each list draws its glyph at the raster position and
// advances the position by the glyph's width. The glyphs are the window
// system's own font where the backend has one (PlatformBuildFontLists), else
// the embedded font (fixed_font.h) of the screen's density: 6x13, or 12x24
// from a content scale of 2 on (PlatformContentScale), drawn for that size
// rather than the small one stretched.
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

// Builds the font lists in the current context, from the backend's font or
// the embedded one; returns FontListBase.
uint32_t BuildFont();

// Deletes the font lists built by BuildFont; FontListBase is 0 afterwards.
void DeleteFont();

// Draws a NUL-terminated 8-bit string with its baseline starting at (x, y)
// in the current coordinates and colour. Bytes outside 32..127 draw nothing.
void DrawString(const char* text, int x, int y);
