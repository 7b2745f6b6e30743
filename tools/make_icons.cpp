// make-icons OUTDIR
//
// Writes the program's icon (shell/platform/app_icon.cpp) into OUTDIR, which
// must exist: pathwick-<size>.png for each size of kAppIconSizes, and
// pathwick.ico, the Windows icon file holding every size. The ICO keeps the
// sizes up to 128 as 32-bit bitmaps with alpha, which every Windows reads,
// and the 256-pixel one as PNG, as Windows Vista and later expect.
// pathwick-installer.bmp is the installer's welcome and finish picture: the
// 128-pixel icon on the olive of the maze's open cells, 164 x 314 pixels, the
// size of that picture on an installer page at 96 dpi (24-bit BMP, which the
// installer's pages show).
// The same icon gives the same files on every run.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "shell/files/bmp_file.h"
#include "shell/files/little_endian.h"
#include "shell/platform/app_icon.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kLargestBitmapEntry = 128;  // above this, the ICO holds a PNG

// The installer's picture: its size, the icon's size and its distance from
// the top, and the background, the open cell's colour (0.4, 0.4, 0.3).
constexpr int kInstallerWidth = 164;
constexpr int kInstallerHeight = 314;
constexpr int kInstallerIconSize = 128;
constexpr int kInstallerIconTop = 40;
constexpr Rgb8 kInstallerBackground{102, 102, 76};

void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
  Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// Appends an 8-bit RGBA PNG of `size` x `size` pixels (rows top first) to
// `out`, with no chunks that change between runs (no time, no text). False on
// failure. `out` belongs to the caller, so that libpng's error jump leaves
// no object of this function half-changed.
bool EncodePng(const Bytes& rgba, int size, Bytes* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, AppendToBytes, nullptr);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < size; ++y) {
    png_write_row(png, rgba.data() + static_cast<size_t>(y) * size * 4);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// An ICO image as a 32-bit bitmap: the information header (its height counts
// the colour and the mask rows), the BGRA rows bottom first, then the 1-bit
// mask, set where a pixel is fully transparent, rows padded to 32 bits.
Bytes EncodeIcoBitmap(const Bytes& rgba, int size) {
  const uint32_t maskRowBytes = (static_cast<uint32_t>(size) + 31) / 32 * 4;
  const uint32_t colourBytes = static_cast<uint32_t>(size) * size * 4;
  Bytes out;
  AppendLe32(out, 40);
  AppendLe32(out, static_cast<uint32_t>(size));
  AppendLe32(out, static_cast<uint32_t>(size) * 2);
  AppendLe16(out, 1);   // planes
  AppendLe16(out, 32);  // bits per pixel
  AppendLe32(out, 0);   // uncompressed
  AppendLe32(out, colourBytes + maskRowBytes * size);
  for (int i = 0; i < 4; ++i) AppendLe32(out, 0);  // resolution, colours used and important

  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) {
      const uint8_t* pixel = rgba.data() + (static_cast<size_t>(y) * size + x) * 4;
      out.insert(out.end(), {pixel[2], pixel[1], pixel[0], pixel[3]});
    }
  }
  for (int y = size - 1; y >= 0; --y) {
    Bytes row(maskRowBytes, 0);
    for (int x = 0; x < size; ++x) {
      const uint8_t alpha = rgba[(static_cast<size_t>(y) * size + x) * 4 + 3];
      if (alpha == 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// The ICO file: its header, one directory entry per image, then the images
// in the same order.
Bytes EncodeIco(const std::vector<int>& sizes, const std::vector<Bytes>& images) {
  constexpr uint32_t kHeaderBytes = 6;
  constexpr uint32_t kEntryBytes = 16;
  Bytes out;
  AppendLe16(out, 0);  // reserved
  AppendLe16(out, 1);  // an icon, not a cursor
  AppendLe16(out, static_cast<uint16_t>(sizes.size()));
  uint32_t offset = kHeaderBytes + kEntryBytes * static_cast<uint32_t>(sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    const uint8_t side = sizes[i] >= 256 ? 0 : static_cast<uint8_t>(sizes[i]);  // 0 means 256
    out.insert(out.end(), {side, side, 0, 0});  // width, height, no palette, reserved
    AppendLe16(out, 1);                         // planes
    AppendLe16(out, 32);                        // bits per pixel
    AppendLe32(out, static_cast<uint32_t>(images[i].size()));
    AppendLe32(out, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

// The installer's picture as a 24-bit BMP: the icon centred across the
// width near the top, blended over the background by its alpha.
Bytes EncodeInstallerPicture() {
  const Bytes icon = DrawAppIcon(kInstallerIconSize);
  const int left = (kInstallerWidth - kInstallerIconSize) / 2;
  std::vector<Rgb8> pixels(static_cast<size_t>(kInstallerWidth) * kInstallerHeight,
                           kInstallerBackground);
  for (int y = 0; y < kInstallerIconSize; ++y) {
    for (int x = 0; x < kInstallerIconSize; ++x) {
      const uint8_t* colour = icon.data() + (static_cast<size_t>(y) * kInstallerIconSize + x) * 4;
      const int alpha = colour[3];
      const auto blend = [alpha](uint8_t over, uint8_t under) {
        return static_cast<uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
      };
      // Bottom row first, as the BMP keeps them.
      const int row = kInstallerHeight - 1 - (kInstallerIconTop + y);
      Rgb8& pixel = pixels[static_cast<size_t>(row) * kInstallerWidth + left + x];
      pixel = Rgb8{blend(colour[0], pixel.r), blend(colour[1], pixel.g), blend(colour[2], pixel.b)};
    }
  }
  return EncodeBitmap24(kInstallerWidth, kInstallerHeight, pixels);
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "make-icons: %s\n", what.c_str());
  return false;
}

bool WriteIcons(const std::string& directory) {
  std::vector<int> sizes;
  std::vector<Bytes> icoImages;
  for (int size : kAppIconSizes) {
    const Bytes rgba = DrawAppIcon(size);
    Bytes png;
    const std::string path = directory + "/pathwick-" + std::to_string(size) + ".png";
    if (!EncodePng(rgba, size, &png)) {
      return Fail("cannot encode the " + std::to_string(size) + "-pixel PNG");
    }
    if (!WriteFile(path, png)) return Fail("cannot write " + path);
    sizes.push_back(size);
    icoImages.push_back(size > kLargestBitmapEntry ? png : EncodeIcoBitmap(rgba, size));
  }
  const std::string icoPath = directory + "/pathwick.ico";
  if (!WriteFile(icoPath, EncodeIco(sizes, icoImages))) return Fail("cannot write " + icoPath);
  const std::string installerPath = directory + "/pathwick-installer.bmp";
  if (!WriteFile(installerPath, EncodeInstallerPicture())) {
    return Fail("cannot write " + installerPath);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-icons OUTDIR\n");
    return 2;
  }
  return WriteIcons(argv[1]) ? 0 : 1;
}
