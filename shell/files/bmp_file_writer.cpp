// The BMP writer, the reader's counterpart: the field layout mirrors
// DecodeFileHeader and DecodeInfoHeader in bmp_file.cpp. It sits in its own
// file so that the program, which only reads, does not link it.
#include <cstddef>

#include "shell/files/bmp_file.h"
#include "shell/files/little_endian.h"

namespace {

constexpr uint16_t kBitsPerPixel = 24;
constexpr int32_t kPixelsPerMeter = 2835;  // 72 dots per inch

// Rows of 3-byte pixels, each padded to a multiple of 4 bytes.
uint32_t RowSize(int32_t width) { return (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4; }

BitmapHeaders Bitmap24Headers(int32_t width, int32_t height) {
  constexpr uint32_t headersSize = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
  const uint32_t pixelArraySize = RowSize(width) * static_cast<uint32_t>(height);
  BitmapHeaders headers{};
  headers.file = BitmapFileHeader{kBitmapMagic, headersSize + pixelArraySize, headersSize};
  headers.info.biSize = kBitmapInfoHeaderSize;
  headers.info.biWidth = width;
  headers.info.biHeight = height;
  headers.info.biPlanes = 1;
  headers.info.biBitCount = kBitsPerPixel;
  headers.info.biCompression = 0;
  headers.info.biSizeImage = pixelArraySize;
  headers.info.biXPelsPerMeter = kPixelsPerMeter;
  headers.info.biYPelsPerMeter = kPixelsPerMeter;
  return headers;
}

}  // namespace

std::vector<uint8_t> EncodeBitmapHeaders(const BitmapHeaders& headers) {
  const BitmapFileHeader& file = headers.file;
  const BitmapInfoHeader& info = headers.info;
  std::vector<uint8_t> out;
  out.reserve(kBitmapFileHeaderSize + kBitmapInfoHeaderSize);
  AppendLe16(out, file.bfType);
  AppendLe32(out, file.bfSize);
  AppendLe32(out, 0);  // reserved
  AppendLe32(out, file.bfOffBits);

  AppendLe32(out, info.biSize);
  AppendLe32(out, static_cast<uint32_t>(info.biWidth));
  AppendLe32(out, static_cast<uint32_t>(info.biHeight));
  AppendLe16(out, info.biPlanes);
  AppendLe16(out, info.biBitCount);
  AppendLe32(out, info.biCompression);
  AppendLe32(out, info.biSizeImage);
  AppendLe32(out, static_cast<uint32_t>(info.biXPelsPerMeter));
  AppendLe32(out, static_cast<uint32_t>(info.biYPelsPerMeter));
  AppendLe32(out, info.biClrUsed);
  AppendLe32(out, info.biClrImportant);
  return out;
}

std::vector<uint8_t> EncodeBitmap24(int32_t width, int32_t height,
                                    const std::vector<Rgb8>& pixels) {
  const BitmapHeaders headers = Bitmap24Headers(width, height);
  std::vector<uint8_t> out = EncodeBitmapHeaders(headers);
  out.reserve(headers.file.bfSize);
  const uint32_t rowSize = RowSize(width);
  for (int32_t y = 0; y < height; ++y) {
    const size_t rowStart = out.size();
    for (int32_t x = 0; x < width; ++x) {
      const Rgb8& pixel = pixels[static_cast<size_t>(y) * width + x];
      out.insert(out.end(), {pixel.b, pixel.g, pixel.r});
    }
    out.resize(rowStart + rowSize, 0);
  }
  return out;
}
