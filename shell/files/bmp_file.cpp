#include "shell/files/bmp_file.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <new>
#include <string>

#include "shell/files/file_names.h"
#include "shell/files/little_endian.h"
#include "shell/files/quoting.h"

namespace {

int32_t ReadLe32Signed(const unsigned char* bytes) { return static_cast<int32_t>(ReadLe32(bytes)); }

BitmapFileHeader DecodeFileHeader(const unsigned char* bytes) {
  return BitmapFileHeader{ReadLe16(bytes), ReadLe32(bytes + 2), ReadLe32(bytes + 10)};
}

BitmapInfoHeader DecodeInfoHeader(const unsigned char* bytes) {
  BitmapInfoHeader info;
  info.biSize = ReadLe32(bytes);
  info.biWidth = ReadLe32Signed(bytes + 4);
  info.biHeight = ReadLe32Signed(bytes + 8);
  info.biPlanes = ReadLe16(bytes + 12);
  info.biBitCount = ReadLe16(bytes + 14);
  info.biCompression = ReadLe32(bytes + 16);
  info.biSizeImage = ReadLe32(bytes + 20);
  info.biXPelsPerMeter = ReadLe32Signed(bytes + 24);
  info.biYPelsPerMeter = ReadLe32Signed(bytes + 28);
  info.biClrUsed = ReadLe32(bytes + 32);
  info.biClrImportant = ReadLe32(bytes + 36);
  return info;
}

// The number of pixel rows: the height's size, whichever way the rows go
// (a negative height stores the top row first).
int64_t RowCount(const BitmapInfoHeader& info) {
  return info.biHeight < 0 ? -static_cast<int64_t>(info.biHeight) : info.biHeight;
}

// Why the texture upload cannot take the image, or empty when it can: it
// takes uncompressed rows of 3-byte pixels, and the size limit keeps a
// hostile header from asking for a huge buffer.
std::string UnsupportedImage(const BitmapInfoHeader& info) {
  if (info.biBitCount != 24) {
    return "it has " + std::to_string(info.biBitCount) + " bits per pixel, not 24";
  }
  if (info.biCompression != 0) return "its pixels are compressed";
  const int64_t rows = RowCount(info);
  if (info.biWidth < 1 || info.biWidth > kMaxBitmapSide || rows < 1 || rows > kMaxBitmapSide) {
    return "it is " + std::to_string(info.biWidth) + " x " + std::to_string(rows) +
           " pixels, not 1 to " + std::to_string(kMaxBitmapSide) + " a side";
  }
  return "";
}

// Each row's bytes, padded to a multiple of 4. Only for an image that
// UnsupportedImage accepts.
uint64_t RowSize(const BitmapInfoHeader& info) {
  return (static_cast<uint64_t>(info.biWidth) * info.biBitCount + 31) / 32 * 4;
}

uint64_t PixelArraySize(const BitmapInfoHeader& info) {
  return RowSize(info) * static_cast<uint64_t>(RowCount(info));
}

// Turns the rows of a top-down pixel array over, so that the bottom row comes
// first as the texture upload takes it.
void PutBottomRowFirst(unsigned char* pixels, uint64_t rowSize, uint64_t rows) {
  for (uint64_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(pixels + top * rowSize, pixels + (top + 1) * rowSize,
                     pixels + bottom * rowSize);
  }
}

bool ReadExactly(std::ifstream& file, unsigned char* bytes, uint64_t count) {
  const auto wanted = static_cast<std::streamsize>(count);
  file.read(reinterpret_cast<char*>(bytes), wanted);
  return file.gcount() == wanted;
}

// The number of bytes from `offset` to the end of the file; 0 when the offset
// is at or past the end, or the length cannot be told.
uint64_t BytesAfterOffset(std::ifstream& file, uint32_t offset) {
  if (!file.seekg(0, std::ios::end)) return 0;
  const std::streamoff end = file.tellg();
  if (end <= static_cast<std::streamoff>(offset)) return 0;
  return static_cast<uint64_t>(end) - offset;
}

// LoadBitmapFile, saying why it fails: empty on success.
std::string ReadBitmapFile(const char* fileName, unsigned char** pixels, BitmapInfoHeader* info) {
  std::ifstream file;
  if (!OpenRegularFile(file, fileName, std::ios::binary)) {
    return "it is missing or not a readable regular file";
  }

  unsigned char fileHeaderBytes[kBitmapFileHeaderSize];
  if (!ReadExactly(file, fileHeaderBytes, kBitmapFileHeaderSize)) return "it is not a BMP file";
  const BitmapFileHeader fileHeader = DecodeFileHeader(fileHeaderBytes);
  if (fileHeader.bfType != kBitmapMagic) return "it is not a BMP file";

  unsigned char infoHeaderBytes[kBitmapInfoHeaderSize];
  if (!ReadExactly(file, infoHeaderBytes, kBitmapInfoHeaderSize)) {
    return "it ends inside its headers";
  }
  const BitmapInfoHeader header = DecodeInfoHeader(infoHeaderBytes);
  const std::string unsupported = UnsupportedImage(header);
  if (!unsupported.empty()) return unsupported;

  // Checking the length first means a short file never gets a buffer of the
  // size its header claims.
  const uint64_t pixelArraySize = PixelArraySize(header);
  if (BytesAfterOffset(file, fileHeader.bfOffBits) < pixelArraySize) {
    return "it ends before its pixel array does";
  }

  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[pixelArraySize]);
  if (!buffer) return "its pixels do not fit in memory";
  if (!file.seekg(fileHeader.bfOffBits) || !ReadExactly(file, buffer.get(), pixelArraySize)) {
    return "it cannot be read";
  }

  *info = header;
  if (header.biHeight < 0) {
    PutBottomRowFirst(buffer.get(), RowSize(header), static_cast<uint64_t>(RowCount(header)));
    info->biHeight = -header.biHeight;
  }
  *pixels = buffer.release();
  return "";
}

}  // namespace

int LoadBitmapFile(const char* fileName, unsigned char** pixels, BitmapInfoHeader* info) {
  return ReadBitmapFile(fileName, pixels, info).empty() ? 1 : 0;
}

std::string TextureFileRefusal(const char* fileName) {
  unsigned char* pixels = nullptr;
  BitmapInfoHeader info;
  const std::string problem = ReadBitmapFile(fileName, &pixels, &info);
  delete[] pixels;
  if (problem.empty()) return "";
  return "cannot use the texture file " + Quoted(fileName) + ": " + problem;
}
