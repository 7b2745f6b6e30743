// The program's icon: the picture drawn at every size, the ICO file's
// structure, and make-icons reproducing the files checked in under
// packaging/icons/.
#include "shell/platform/app_icon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tests/scratch_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

uint32_t Le16(const Bytes& bytes, size_t at) { return bytes[at] | bytes[at + 1] << 8; }

uint32_t Le32(const Bytes& bytes, size_t at) {
  return Le16(bytes, at) | static_cast<uint32_t>(Le16(bytes, at + 2)) << 16;
}

// The names of the files make-icons writes.
std::vector<std::string> IconFileNames() {
  std::vector<std::string> names;
  for (int size : kAppIconSizes) names.push_back("pathwick-" + std::to_string(size) + ".png");
  names.push_back("pathwick.ico");
  names.push_back("pathwick-installer.bmp");
  return names;
}

std::string CheckedInPath(const std::string& name) {
  return std::string(PATHWICK_ICON_DIR) + "/" + name;
}

struct Rgba {
  int r, g, b, a;
};

// The pixel at (u, v) of the unit square, u to the right, v downward.
Rgba PixelAt(const Bytes& icon, int size, double u, double v) {
  const size_t at = (static_cast<size_t>(v * size) * size + static_cast<size_t>(u * size)) * 4;
  return Rgba{icon[at], icon[at + 1], icon[at + 2], icon[at + 3]};
}

TEST(AppIconTest, EverySizeShowsTheWallTheOliveCellAndTheRedArrow) {
  for (int size : kAppIconSizes) {
    SCOPED_TRACE(size);
    const Bytes icon = DrawAppIcon(size);
    ASSERT_EQ(icon.size(), static_cast<size_t>(size) * size * 4);

    // The corners are rounded off: their pixels are mostly transparent.
    EXPECT_LT(PixelAt(icon, size, 0, 0).a, 128);
    EXPECT_LT(PixelAt(icon, size, 0.99, 0.99).a, 128);

    const Rgba wall = PixelAt(icon, size, 0.2, 0.37);  // inside a brick, left
    EXPECT_EQ(wall.a, 255);
    EXPECT_GT(wall.r, wall.g);
    EXPECT_GT(wall.g, wall.b);

    const Rgba cell = PixelAt(icon, size, 0.85, 0.15);  // above the arrow, right
    EXPECT_EQ(cell.a, 255);
    EXPECT_NEAR(cell.r, 102, 2);
    EXPECT_NEAR(cell.g, 102, 2);
    EXPECT_NEAR(cell.b, 77, 2);

    const Rgba arrow = PixelAt(icon, size, 0.64, 0.5);  // the arrow's middle
    EXPECT_EQ(arrow.a, 255);
    EXPECT_GT(arrow.r, 200);
    EXPECT_LT(arrow.g, 40);
    EXPECT_LT(arrow.b, 40);
  }
}

// The installer's welcome and finish picture: a 24-bit BMP of 164 x 314
// pixels, the icon near the top on the open cell's olive.
TEST(IconFileTest, InstallerPictureShowsTheIconOnOlive) {
  const Bytes bmp = ReadWholeFile(CheckedInPath("pathwick-installer.bmp"));
  constexpr int kWidth = 164;
  constexpr int kHeight = 314;
  const size_t rowBytes = (kWidth * 3 + 3) / 4 * 4;
  ASSERT_EQ(bmp.size(), 54 + rowBytes * kHeight);
  EXPECT_EQ(Le32(bmp, 18), static_cast<uint32_t>(kWidth));
  EXPECT_EQ(Le32(bmp, 22), static_cast<uint32_t>(kHeight)) << "rows bottom first";
  EXPECT_EQ(Le16(bmp, 28), 24u) << "bits per pixel";
  // (x, y) from the top left, as red, green, blue.
  const auto pixel = [&](int x, int y) {
    const size_t at = 54 + rowBytes * (kHeight - 1 - y) + x * 3;
    return Rgba{bmp[at + 2], bmp[at + 1], bmp[at], 255};
  };
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{kWidth - 1, kHeight - 1}}) {
    const Rgba olive = pixel(x, y);
    EXPECT_EQ(olive.r, 102);
    EXPECT_EQ(olive.g, 102);
    EXPECT_EQ(olive.b, 76);
  }
  const Rgba arrow = pixel(18 + 82, 40 + 64);  // the icon's arrow, at (0.64, 0.5) of 128 pixels
  EXPECT_GT(arrow.r, 200);
  EXPECT_LT(arrow.g, 40);
}

// The ICO file: one directory entry per size, smallest first, each image
// inside the file; 32-bit bitmaps up to 128 pixels, a PNG at 256.
TEST(IconFileTest, IcoHoldsEverySizeAsA32BitImage) {
  const Bytes ico = ReadWholeFile(CheckedInPath("pathwick.ico"));
  const std::vector<int> sizes(std::begin(kAppIconSizes), std::end(kAppIconSizes));
  ASSERT_GE(ico.size(), 6 + 16 * sizes.size());
  EXPECT_EQ(Le16(ico, 0), 0u);
  EXPECT_EQ(Le16(ico, 2), 1u) << "an icon, not a cursor";
  ASSERT_EQ(Le16(ico, 4), sizes.size());

  for (size_t i = 0; i < sizes.size(); ++i) {
    SCOPED_TRACE(sizes[i]);
    const size_t entry = 6 + 16 * i;
    EXPECT_EQ(ico[entry], sizes[i] % 256);
    EXPECT_EQ(ico[entry + 1], sizes[i] % 256);
    EXPECT_EQ(Le16(ico, entry + 6), 32u) << "bits per pixel";
    const uint32_t length = Le32(ico, entry + 8);
    const uint32_t offset = Le32(ico, entry + 12);
    ASSERT_LE(static_cast<uint64_t>(offset) + length, ico.size());
    if (sizes[i] == 256) {
      const Bytes png = ReadWholeFile(CheckedInPath("pathwick-256.png"));
      EXPECT_TRUE(Bytes(ico.begin() + offset, ico.begin() + offset + length) == png)
          << "the 256-pixel image is the PNG file";
    } else {
      const uint32_t maskBytes = (sizes[i] + 31) / 32 * 4 * sizes[i];
      EXPECT_EQ(Le32(ico, offset), 40u) << "an information header";
      EXPECT_EQ(Le32(ico, offset + 4), static_cast<uint32_t>(sizes[i]));
      EXPECT_EQ(Le32(ico, offset + 8), 2u * sizes[i]) << "the colour and the mask rows";
      EXPECT_EQ(length, 40 + 4u * sizes[i] * sizes[i] + maskBytes);
    }
  }
}

TEST(IconFileTest, MakeIconsReproducesTheCheckedInFiles) {
  test_files::ScratchDir dir;
  const std::string command =
      std::string("\"") + PATHWICK_MAKE_ICONS + "\" \"" + dir.PathOf("") + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0);

  for (const std::string& name : IconFileNames()) {
    SCOPED_TRACE(name);
    const Bytes made = ReadWholeFile(dir.PathOf(name));
    ASSERT_FALSE(made.empty());
    EXPECT_TRUE(made == ReadWholeFile(CheckedInPath(name)))
        << "packaging/icons/" << name << " is out of date: regenerate it with make-icons";
  }
}

TEST(IconFileTest, MakeIconsFailsOnADirectoryThatDoesNotExist) {
  test_files::ScratchDir dir;
  const std::string command =
      std::string("\"") + PATHWICK_MAKE_ICONS + "\" \"" + dir.PathOf("missing") + "\" 2>/dev/null";
  EXPECT_NE(std::system(command.c_str()), 0);
}

}  // namespace
