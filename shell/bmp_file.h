// Reading the wall texture: an uncompressed 24-bit Windows bitmap (BMP) file.
#pragma once

#include <cstdint>
#include <string>

// The 40-byte information header of a BMP file, its fields decoded from the
// little-endian bytes at file offset 14.
struct BitmapInfoHeader {
  uint32_t biSize;  // the header's own size; 40, or more for later versions
  int32_t biWidth;
  int32_t biHeight;  // positive: rows stored bottom row first
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;  // 0: uncompressed
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BitmapInfoHeader must match the 40-byte record");

// The largest width or height that LoadBitmapFile accepts.
constexpr int32_t kMaxBitmapSide = 8192;

// Reads the BMP file `fileName` (UTF-8): its information header into `*info`
// and its pixel array (rows bottom first, each padded to a multiple of 4
// bytes, pixels as blue, green, red bytes) into a buffer allocated with new[],
// whose address goes to `*pixels`. The caller owns the buffer and frees it
// with delete[].
//
// Returns 1 on success. Returns 0, leaving `*pixels` and `*info` untouched,
// when the path is not a regular file (a FIFO or a device is never opened:
// that could block), the file cannot be opened or read, does not start with
// "BM", is not an uncompressed 24-bit image with a width and height from 1 to
// kMaxBitmapSide, or ends before the whole pixel array that the header
// promises at the pixel-array offset.
int LoadBitmapFile(const char* fileName, unsigned char** pixels, BitmapInfoHeader* info);

// The warning about a texture file that LoadBitmapFile refuses, with the
// reason, worded alike in every program: "cannot use the texture file
// 'NAME': it has 32 bits per pixel, not 24". Empty when the file can be used.
std::string TextureFileRefusal(const char* fileName);
