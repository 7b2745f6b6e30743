// The program's icon, drawn from code: the red arrow on an olive cell, with a
// stone wall beside it, in the colours of the picture. tools/make_icons.cpp
// writes it to the PNG files and the Windows icon file in packaging/icons/;
// the Linux backend draws it at start for the window manager.
#pragma once

#include <cstdint>
#include <vector>

// The sizes the icon is made in, in pixels, smallest first.
constexpr int kAppIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The icon at `size` x `size` pixels (size >= 1): rows top first, each pixel
// red, green, blue, alpha, not premultiplied. The corners are transparent.
std::vector<uint8_t> DrawAppIcon(int size);
