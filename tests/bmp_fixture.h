// A small uncompressed 24-bit BMP file built in memory, for tests that need a
// texture on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bmp_fixture {

struct Rgb8 {
  uint8_t r, g, b;
};

// `pixels` bottom row first; each row of the file is padded to a multiple of
// 4 bytes, and the pixel array follows the 54 bytes of headers.
inline std::string BmpFile(int width, int height, const std::vector<Rgb8>& pixels) {
  const int rowSize = (3 * width + 3) / 4 * 4;
  const int headersSize = 14 + 40;
  std::string bytes = "BM";
  const auto put = [&bytes](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(headersSize + rowSize * height, 4);  // file size
  put(0, 4);                               // reserved
  put(headersSize, 4);                     // pixel array offset
  put(40, 4);
  put(width, 4);
  put(height, 4);
  put(1, 2);   // planes
  put(24, 2);  // bits per pixel
  put(0, 4);   // uncompressed
  put(rowSize * height, 4);
  for (int i = 0; i < 4; ++i) put(0, 4);  // resolution, palette
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb8& p = pixels[y * width + x];
      bytes += {static_cast<char>(p.b), static_cast<char>(p.g), static_cast<char>(p.r)};
    }
    bytes.append(rowSize - 3 * width, '\0');
  }
  return bytes;
}

}  // namespace bmp_fixture
