// A small uncompressed 24-bit BMP file built in memory, for tests that need a
// texture on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/files/bmp_file.h"

namespace bmp_fixture {

using ::Rgb8;

// The file's bytes; `pixels` bottom row first.
inline std::string BmpFile(int width, int height, const std::vector<Rgb8>& pixels) {
  const std::vector<uint8_t> bytes = EncodeBitmap24(width, height, pixels);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace bmp_fixture
