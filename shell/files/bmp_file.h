// The wall texture's file format, the uncompressed 24-bit Windows bitmap
// (BMP): the reader the program loads the texture with, and its counterpart,
// the writer that make-stone-bmp and the tests make files with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t kBitmapMagic = 0x4D42;  // the bytes 'B', 'M' read as a little-endian value
constexpr uint32_t kBitmapFileHeaderSize = 14;
constexpr uint32_t kBitmapInfoHeaderSize = 40;

// The 14-byte file header at the start of a BMP file; its two reserved
// fields are 0.
struct BitmapFileHeader {
  uint16_t bfType;     // kBitmapMagic
  uint32_t bfSize;     // the whole file's size
  uint32_t bfOffBits;  // where the pixel array starts, counted from the start of the file
};

// The 40-byte information header of a BMP file, its fields decoded from the
// little-endian bytes at file offset 14.
struct BitmapInfoHeader {
  uint32_t biSize;  // the header's own size; 40, or more for later versions
  int32_t biWidth;
  int32_t biHeight;  // positive: rows stored bottom row first; negative: top row first
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
// A top-down file (a negative height, its top row stored first) is handed
// out the same way: its rows turned over, and the height in `*info` made
// positive.
//
// Returns 1 on success. Returns 0, leaving `*pixels` and `*info` untouched,
// when the path is not a regular file (a FIFO or a device is never opened:
// that could block), the file cannot be opened or read, does not start with
// "BM", is not an uncompressed 24-bit image with a width and a number of rows
// from 1 to kMaxBitmapSide, or ends before the whole pixel array that the
// header promises at the pixel-array offset.
int LoadBitmapFile(const char* fileName, unsigned char** pixels, BitmapInfoHeader* info);

// The warning about a texture file that LoadBitmapFile refuses, with the
// reason, worded alike in every program: "cannot use the texture file
// 'NAME': it has 32 bits per pixel, not 24". Empty when the file can be used.
std::string TextureFileRefusal(const char* fileName);

// --- Writing ---------------------------------------------------------------

// Both headers, as EncodeBitmapHeaders writes them.
struct BitmapHeaders {
  BitmapFileHeader file;
  BitmapInfoHeader info;
};

// The 54 bytes of the two headers, every field as given, so that a test can
// write a header that does not fit its file.
std::vector<uint8_t> EncodeBitmapHeaders(const BitmapHeaders& headers);

struct Rgb8 {
  uint8_t r, g, b;
};

// A whole uncompressed 24-bit BMP file of `width` x `height` pixels (both
// >= 1) at 72 dots per inch: the headers, then the pixel array, rows bottom
// first, each padded to a multiple of 4 bytes. `pixels` holds the pixels,
// bottom row first, left to right.
std::vector<uint8_t> EncodeBitmap24(int32_t width, int32_t height, const std::vector<Rgb8>& pixels);
