// Fuzz target for the BMP reader.
//
// Each input is a BMP file. The target works out on its own, from the bytes,
// whether the reader must accept the file and what it must hand out, and
// checks the reader against that: an accepted file yields its 40-byte
// information header and a buffer of exactly the pixel array's size holding
// the file's bytes from the pixel-array offset, freed with delete[] as the
// program frees it; a top-down file (negative height) yields the header with
// the height made positive and the rows turned over; a rejected file leaves
// both outputs untouched.
#include <sanitizer/allocator_interface.h>

#include <cstring>
#include <optional>

#include "shell/files/bmp_file.h"
#include "tests/fuzz/fuzz_support.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the header record is compared with the file's little-endian bytes");

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kHeadersSize = kFileHeaderSize + sizeof(BitmapInfoHeader);

uint32_t Le32At(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool IsSideInRange(int64_t side) { return side >= 1 && side <= kMaxBitmapSide; }

// Where the pixel array lies in a file that the reader must accept.
struct PixelArray {
  uint64_t offset;
  uint64_t rowSize;
  uint64_t rows;
  bool topDown;
  uint64_t size() const { return rowSize * rows; }
};

// The pixel array of a file that starts with "BM" and holds an uncompressed
// 24-bit image with sides from 1 to kMaxBitmapSide, complete up to the end of
// its pixel array; no value for any other file.
std::optional<PixelArray> AcceptedPixelArray(const uint8_t* data, size_t size) {
  if (size < kHeadersSize || data[0] != 'B' || data[1] != 'M') return std::nullopt;
  BitmapInfoHeader info;
  std::memcpy(&info, data + kFileHeaderSize, sizeof info);
  const bool topDown = info.biHeight < 0;
  const int64_t rows = topDown ? -static_cast<int64_t>(info.biHeight) : info.biHeight;
  if (!IsSideInRange(info.biWidth) || rows < 1 || rows > kMaxBitmapSide || info.biBitCount != 24 ||
      info.biCompression != 0) {
    return std::nullopt;
  }
  const uint64_t rowSize = (static_cast<uint64_t>(info.biWidth) * 3 + 3) / 4 * 4;
  const PixelArray array{Le32At(data + 10), rowSize, static_cast<uint64_t>(rows), topDown};
  if (array.offset + array.size() > size) return std::nullopt;
  return array;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::InputFile bmpFile("pathwick-bmp");
  bmpFile.Write(data, size);

  // Sentinels that an untouched output still holds afterwards.
  static unsigned char sentinelByte;
  unsigned char* pixels = &sentinelByte;
  BitmapInfoHeader info;
  std::memset(&info, 0xA5, sizeof info);
  const BitmapInfoHeader infoBefore = info;

  const int result = LoadBitmapFile(bmpFile.Path(), &pixels, &info);
  const std::optional<PixelArray> expected = AcceptedPixelArray(data, size);
  if (result == 0) {
    FUZZ_REQUIRE(pixels == &sentinelByte);
    FUZZ_REQUIRE(std::memcmp(&info, &infoBefore, sizeof info) == 0);
    // An acceptable file is at least as large as the buffer it needs, and fuzz
    // inputs are small, so no allocation fails: only an unacceptable file is
    // refused.
    FUZZ_REQUIRE(!expected);
    return 0;
  }

  FUZZ_REQUIRE(result == 1 && expected);
  BitmapInfoHeader expectedInfo;
  std::memcpy(&expectedInfo, data + kFileHeaderSize, sizeof expectedInfo);
  expectedInfo.biHeight = static_cast<int32_t>(expected->rows);
  FUZZ_REQUIRE(std::memcmp(&info, &expectedInfo, sizeof info) == 0);
  FUZZ_REQUIRE(pixels != nullptr && pixels != &sentinelByte);
  FUZZ_REQUIRE(__sanitizer_get_allocated_size(pixels) == expected->size());
  for (uint64_t row = 0; row < expected->rows; ++row) {
    const uint64_t storedRow = expected->topDown ? expected->rows - 1 - row : row;
    FUZZ_REQUIRE(std::memcmp(pixels + row * expected->rowSize,
                             data + expected->offset + storedRow * expected->rowSize,
                             expected->rowSize) == 0);
  }
  delete[] pixels;
  return 0;
}
