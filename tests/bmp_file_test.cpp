#include "shell/files/bmp_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "tests/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// Values for fields the reader only passes on, distinct so that a swapped or
// misplaced field shows.
constexpr int32_t kXPelsPerMeter = 2835;
constexpr int32_t kYPelsPerMeter = 3780;
constexpr uint32_t kClrUsed = 7;
constexpr uint32_t kClrImportant = 3;

struct BmpLayout {
  int32_t width;
  int32_t height;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t infoSize = 40;  // the header's own size field; bytes past the first 40 are filler
  uint32_t gap = 0;        // filler bytes between the headers and the pixel array
};

uint32_t PixelOffset(const BmpLayout& layout) {
  return kBitmapFileHeaderSize + layout.infoSize + layout.gap;
}

uint64_t PixelArraySize(const BmpLayout& layout) {
  const uint64_t width = static_cast<uint64_t>(std::llabs(layout.width));
  const uint64_t rowSize = (width * layout.bitCount + 31) / 32 * 4;
  return rowSize * static_cast<uint64_t>(std::llabs(layout.height));
}

// A whole BMP file with the pixel array that its headers promise. Filler bytes
// are 0xEE and pixel bytes follow a pattern, so a read from the wrong place shows.
// `change`, when given, alters header fields after the file is laid out, so
// that they no longer fit it.
std::string MakeBmp(const BmpLayout& layout, void (*change)(BitmapHeaders&) = nullptr) {
  const uint32_t offset = PixelOffset(layout);
  const uint64_t pixelArraySize = PixelArraySize(layout);
  BitmapHeaders headers{};
  headers.file = {kBitmapMagic, static_cast<uint32_t>(offset + pixelArraySize), offset};
  headers.info = {layout.infoSize,
                  layout.width,
                  layout.height,
                  1,
                  layout.bitCount,
                  layout.compression,
                  static_cast<uint32_t>(pixelArraySize),
                  kXPelsPerMeter,
                  kYPelsPerMeter,
                  kClrUsed,
                  kClrImportant};
  if (change != nullptr) change(headers);
  const std::vector<uint8_t> headerBytes = EncodeBitmapHeaders(headers);
  std::string bytes(headerBytes.begin(), headerBytes.end());
  bytes.resize(offset, '\xEE');
  for (uint64_t i = 0; i < pixelArraySize; ++i) bytes += static_cast<char>(i * 7 + 1);
  return bytes;
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Gives each test its own scratch directory, removed afterwards.
class BmpFileTest : public ::testing::Test {
 protected:
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    return dir_.Write(name, bytes);
  }

  test_files::ScratchDir dir_;
};

// The caller's outputs, preset to values that a failed load must leave alone.
class PresetOutputs {
 public:
  PresetOutputs() : pixels(&sentinel_) { std::memset(&info, 0xA5, sizeof info); }
  PresetOutputs(const PresetOutputs&) = delete;
  PresetOutputs& operator=(const PresetOutputs&) = delete;

  void ExpectUntouched() const {
    BitmapInfoHeader preset;
    std::memset(&preset, 0xA5, sizeof preset);
    EXPECT_EQ(pixels, &sentinel_);
    EXPECT_EQ(std::memcmp(&info, &preset, sizeof info), 0);
  }

  unsigned char* pixels;
  BitmapInfoHeader info;

 private:
  unsigned char sentinel_ = 0;
};

struct AcceptCase {
  const char* name;
  BmpLayout layout;
  size_t pixelBytes;  // what the texture upload will read
};

void PrintTo(const AcceptCase& testCase, std::ostream* out) { *out << testCase.name; }

class BmpAcceptTest : public BmpFileTest, public ::testing::WithParamInterface<AcceptCase> {};

TEST_P(BmpAcceptTest, HandsOutHeaderAndPixelArray) {
  const BmpLayout& layout = GetParam().layout;
  const std::string bytes = MakeBmp(layout);
  unsigned char* pixels = nullptr;
  BitmapInfoHeader info{};

  ASSERT_EQ(LoadBitmapFile(WriteFile("image.bmp", bytes).c_str(), &pixels, &info), 1);

  EXPECT_EQ(info.biSize, layout.infoSize);
  EXPECT_EQ(info.biWidth, layout.width);
  EXPECT_EQ(info.biHeight, layout.height);
  EXPECT_EQ(info.biPlanes, 1);
  EXPECT_EQ(info.biBitCount, 24);
  EXPECT_EQ(info.biCompression, 0u);
  EXPECT_EQ(info.biSizeImage, GetParam().pixelBytes);
  EXPECT_EQ(info.biXPelsPerMeter, kXPelsPerMeter);
  EXPECT_EQ(info.biYPelsPerMeter, kYPelsPerMeter);
  EXPECT_EQ(info.biClrUsed, kClrUsed);
  EXPECT_EQ(info.biClrImportant, kClrImportant);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), GetParam().pixelBytes),
            bytes.substr(PixelOffset(layout)));
  delete[] pixels;
  EXPECT_EQ(TextureFileRefusal(dir_.PathOf("image.bmp").c_str()), "");
}

INSTANTIATE_TEST_SUITE_P(
    Images, BmpAcceptTest,
    ::testing::Values(AcceptCase{"Square64PixelsAt54", {64, 64}, 12288},
                      AcceptCase{"RowsPaddedToFourBytes", {2, 2}, 16},
                      AcceptCase{"LargerInfoHeader", {4, 4, 24, 0, 108}, 48},
                      AcceptCase{"ColourTableBeforePixels", {4, 4, 24, 0, 40, 1024}, 48},
                      AcceptCase{"WidestAccepted", {kMaxBitmapSide, 1}, 24576},
                      AcceptCase{"TallestAccepted", {1, kMaxBitmapSide}, 32768}),
    [](const auto& info) { return std::string(info.param.name); });

// A top-down file (negative height) is handed out as a bottom-up one: its
// rows turned over, padding and all, and its height positive.
TEST_F(BmpFileTest, TopDownRowsAreHandedOutBottomRowFirst) {
  constexpr int kRowSize = 12;  // 3 pixels of 3 bytes, padded to 12
  const BmpLayout layout{3, -3};
  const std::string bytes = MakeBmp(layout);
  const std::string stored = bytes.substr(PixelOffset(layout));
  unsigned char* pixels = nullptr;
  BitmapInfoHeader info{};

  ASSERT_EQ(LoadBitmapFile(WriteFile("top-down.bmp", bytes).c_str(), &pixels, &info), 1);

  EXPECT_EQ(info.biWidth, 3);
  EXPECT_EQ(info.biHeight, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), stored.size()),
            stored.substr(2 * kRowSize, kRowSize) + stored.substr(kRowSize, kRowSize) +
                stored.substr(0, kRowSize));
  delete[] pixels;
  EXPECT_EQ(TextureFileRefusal(dir_.PathOf("top-down.bmp").c_str()), "");
}

struct RejectCase {
  const char* name;
  std::string file;
  std::string reason;  // as the texture's refusal words it
};

void PrintTo(const RejectCase& testCase, std::ostream* out) { *out << testCase.name; }

class BmpRejectTest : public BmpFileTest, public ::testing::WithParamInterface<RejectCase> {};

TEST_P(BmpRejectTest, FailsAndLeavesOutputsUntouched) {
  const std::string path = WriteFile("image.bmp", GetParam().file);
  PresetOutputs outputs;

  EXPECT_EQ(LoadBitmapFile(path.c_str(), &outputs.pixels, &outputs.info), 0);
  outputs.ExpectUntouched();
  EXPECT_EQ(TextureFileRefusal(path.c_str()),
            "cannot use the texture file '" + path + "': " + GetParam().reason);
}

const std::string kSmallBmp = MakeBmp({4, 4});
const std::string kNotBmp = "it is not a BMP file";
const std::string kCutOff = "it ends before its pixel array does";

// "it is W x H pixels, not 1 to 8192 a side"
std::string BadSize(long long width, long long height) {
  return "it is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, not 1 to " +
         std::to_string(kMaxBitmapSide) + " a side";
}

INSTANTIATE_TEST_SUITE_P(
    Files, BmpRejectTest,
    ::testing::Values(
        RejectCase{"PngSignature", std::string("\x89PNG\r\n\x1A\n", 8) + kSmallBmp.substr(8),
                   kNotBmp},
        RejectCase{"EmptyFile", "", kNotBmp},
        RejectCase{"EndsInsideFileHeader", kSmallBmp.substr(0, 10), kNotBmp},
        RejectCase{"EndsInsideInfoHeader", kSmallBmp.substr(0, 30), "it ends inside its headers"},
        RejectCase{"EndsInsidePixelArray", kSmallBmp.substr(0, kSmallBmp.size() - 1), kCutOff},
        RejectCase{"PixelOffsetPastEnd",
                   MakeBmp({4, 4}, [](BitmapHeaders& h) { h.file.bfOffBits = h.file.bfSize + 16; }),
                   kCutOff},
        // Long enough for the headers and the array, but not from the offset on.
        RejectCase{"PixelOffsetLeavesArrayShort",
                   MakeBmp({4, 4}, [](BitmapHeaders& h) { h.file.bfOffBits = 55; }), kCutOff},
        RejectCase{"ZeroWidth", MakeBmp({0, 4}), BadSize(0, 4)},
        RejectCase{"NegativeWidth", MakeBmp({-4, 4}), BadSize(-4, 4)},
        RejectCase{"WidthAboveLimit", MakeBmp({kMaxBitmapSide + 1, 1}),
                   BadSize(kMaxBitmapSide + 1, 1)},
        // 0x55555556 x 24 bits wraps to 16 bits in 32-bit arithmetic, so a
        // 32-bit size computation would expect exactly the 48 bytes present.
        RejectCase{"WidthWrappingRowSize",
                   MakeBmp({1, 12}, [](BitmapHeaders& h) { h.info.biWidth = 0x55555556; }),
                   BadSize(0x55555556, 12)},
        RejectCase{"ZeroHeight", MakeBmp({4, 0}), BadSize(4, 0)},
        RejectCase{"TopDownRowsAboveLimit", MakeBmp({1, -(kMaxBitmapSide + 1)}),
                   BadSize(1, kMaxBitmapSide + 1)},
        RejectCase{"HeightAboveLimit", MakeBmp({1, kMaxBitmapSide + 1}),
                   BadSize(1, kMaxBitmapSide + 1)},
        RejectCase{"HugeHeight",
                   MakeBmp({4, 4}, [](BitmapHeaders& h) { h.info.biHeight = INT32_MAX; }),
                   BadSize(4, INT32_MAX)},
        // Its size cannot be negated in 32 bits.
        RejectCase{"LowestHeight",
                   MakeBmp({4, 4}, [](BitmapHeaders& h) { h.info.biHeight = INT32_MIN; }),
                   BadSize(4, 2147483648LL)},
        RejectCase{"ThirtyTwoBitsPerPixel", MakeBmp({4, 4, 32}),
                   "it has 32 bits per pixel, not 24"},
        RejectCase{"EightBitsPerPixel", MakeBmp({4, 4, 8}), "it has 8 bits per pixel, not 24"},
        RejectCase{"Compressed", MakeBmp({4, 4, 24, 1}), "its pixels are compressed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BmpFileTest, MissingFileFailsAndLeavesOutputsUntouched) {
  PresetOutputs outputs;

  const std::string missing = dir_.PathOf("missing.bmp");

  EXPECT_EQ(LoadBitmapFile(missing.c_str(), &outputs.pixels, &outputs.info), 0);
  outputs.ExpectUntouched();
  EXPECT_EQ(TextureFileRefusal(missing.c_str()),
            "cannot use the texture file '" + missing +
                "': it is missing or not a readable regular file");
}

TEST_F(BmpFileTest, PathsThatAreNotRegularFilesFailWithoutBlocking) {
  test_files::WatchedFifo fifo(dir_.PathOf("Stone.BMP"));
  for (const std::string& path : {fifo.path(), dir_.PathOf("")}) {  // a FIFO, a directory
    SCOPED_TRACE(path);
    PresetOutputs outputs;
    EXPECT_EQ(LoadBitmapFile(path.c_str(), &outputs.pixels, &outputs.info), 0);
    outputs.ExpectUntouched();
  }
  EXPECT_FALSE(fifo.WasOpenedForReading());
}

// The checked-in wall texture and the tool that makes it.
class StoneTextureTest : public BmpFileTest {
 protected:
  static const std::string& CheckedInPath() {
    static const std::string path = std::string(PATHWICK_DATA_DIR) + "/Stone.BMP";
    return path;
  }

  // Runs the generator; true when it exits with status 0.
  static bool RunGenerator(const std::string& arguments) {
    const std::string command = std::string("\"") + PATHWICK_MAKE_STONE_BMP + "\" " + arguments;
    return std::system(command.c_str()) == 0;
  }
};

TEST_F(StoneTextureTest, CheckedInFileLoadsAsSquarePowerOfTwoTexture) {
  unsigned char* pixels = nullptr;
  BitmapInfoHeader info{};

  ASSERT_EQ(LoadBitmapFile(CheckedInPath().c_str(), &pixels, &info), 1);
  EXPECT_EQ(info.biWidth, 128);
  EXPECT_EQ(info.biHeight, 128);
  EXPECT_EQ(info.biBitCount, 24);
  EXPECT_EQ(info.biCompression, 0u);
  const auto [darkest, lightest] = std::minmax_element(pixels, pixels + 128 * 128 * 3);
  EXPECT_GT(*lightest - *darkest, 100) << "the texture should not be flat";
  delete[] pixels;
}

TEST_F(StoneTextureTest, GeneratorReproducesCheckedInFile) {
  const fs::path output = dir_.PathOf("Stone.BMP");

  ASSERT_TRUE(RunGenerator(output.string()));
  EXPECT_TRUE(ReadWholeFile(output) == ReadWholeFile(CheckedInPath()))
      << "data/Stone.BMP is out of date: regenerate it with make-stone-bmp";
}

TEST_F(StoneTextureTest, GeneratorWritesRequestedPowerOfTwoSizes) {
  for (int size : {16, 64}) {
    SCOPED_TRACE(size);
    const fs::path output = dir_.PathOf("stone" + std::to_string(size) + ".bmp");
    unsigned char* pixels = nullptr;
    BitmapInfoHeader info{};

    ASSERT_TRUE(RunGenerator(output.string() + " " + std::to_string(size)));
    ASSERT_EQ(LoadBitmapFile(output.string().c_str(), &pixels, &info), 1);
    EXPECT_EQ(info.biWidth, size);
    EXPECT_EQ(info.biHeight, size);
    delete[] pixels;
  }
}

TEST_F(StoneTextureTest, GeneratorRefusesSizesThatAreNotAllowedPowersOfTwo) {
  for (const char* size : {"100", "8", "2048", "0", "abc"}) {
    SCOPED_TRACE(size);
    const fs::path output = dir_.PathOf("stone.bmp");

    EXPECT_FALSE(RunGenerator(output.string() + " " + size + " 2>/dev/null"));
    EXPECT_FALSE(fs::exists(output));
  }
}

}  // namespace
