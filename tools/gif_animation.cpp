#include "tools/gif_animation.h"

#include <gif_lib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace {

// One entry of every table stays free for the transparent pixels.
constexpr int kMaxColoursPerTable = 255;
constexpr int kMaxDelayCs = 65535;

// Bits a pixel for a table of `entries` colours, as GIF sizes tables: a
// power of two of at least 2 entries.
int BitsFor(size_t entries) {
  int bits = 1;
  while ((size_t{1} << bits) < entries) ++bits;
  return bits;
}

// A colour table of `colours` then the transparent entry, padded with black
// to the size GIF wants. The caller frees it.
ColorMapObject* MakeColourTable(const std::vector<uint32_t>& colours) {
  std::vector<GifColorType> entries(size_t{1} << BitsFor(colours.size() + 1),
                                    GifColorType{0, 0, 0});
  for (size_t i = 0; i < colours.size(); ++i) {
    entries[i].Red = static_cast<GifByteType>(colours[i] >> 16);
    entries[i].Green = static_cast<GifByteType>(colours[i] >> 8);
    entries[i].Blue = static_cast<GifByteType>(colours[i]);
  }
  return GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
}

// The application extension that makes viewers loop the animation for ever.
bool PutLoopForEver(GifFileType* gif) {
  static const GifByteType kName[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static const GifByteType kLoopCount[] = {1, 0, 0};  // sub-block 1: loop count 0, for ever
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof kName, kName) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof kLoopCount, kLoopCount) == GIF_OK &&
         EGifPutExtensionTrailer(gif) == GIF_OK;
}

}  // namespace

GifAnimation::~GifAnimation() {
  if (gif_ != nullptr) EGifCloseFile(gif_, nullptr);
}

bool GifAnimation::Open(std::FILE* stream, int width, int height) {
  stream_ = stream;
  int gifError = 0;
  gif_ = EGifOpen(this, WriteBytes, &gifError);
  if (gif_ == nullptr) {
    error_ = GifErrorString(gifError);
    return false;
  }
  EGifSetGifVersion(gif_, true);  // GIF89a: delays, transparency and the loop extension
  width_ = width;
  height_ = height;
  return true;
}

int GifAnimation::WriteBytes(GifFileType* gif, const unsigned char* bytes, int length) {
  auto* animation = static_cast<GifAnimation*>(gif->UserData);
  const size_t written = std::fwrite(bytes, 1, static_cast<size_t>(length), animation->stream_);
  if (written != static_cast<size_t>(length) && animation->writeErrno_ == 0) {
    animation->writeErrno_ = errno != 0 ? errno : EIO;
  }
  return static_cast<int>(written);
}

bool GifAnimation::Add(const Pixels& picture, int delayCs) {
  if (shown_.empty()) {
    shown_ = picture;
    std::vector<uint32_t> colours = ChangedColoursIn(Rect{0, 0, width_, height_});
    if (static_cast<int>(colours.size()) <= kMaxColoursPerTable) {
      globalColours_ = std::move(colours);
    }
    if (!WriteStart()) return false;
    pending_ = Pending{Rect{0, 0, width_, height_}, delayCs};
    return true;
  }
  const Rect changed = ChangedRect(picture);
  if (changed.width == 0) {
    if (pending_.delayCs + delayCs <= kMaxDelayCs) {
      pending_.delayCs += delayCs;
      return true;
    }
    // The time no longer fits the held picture: one transparent pixel takes it.
    if (!WritePending()) return false;
    before_ = shown_;
    pending_ = Pending{Rect{0, 0, 1, 1}, delayCs};
    return true;
  }
  if (!WritePending()) return false;
  before_ = std::move(shown_);
  shown_ = picture;
  pending_ = Pending{changed, delayCs};
  return true;
}

bool GifAnimation::Finish() {
  if (gif_ == nullptr) return false;
  if (shown_.empty()) error_ = "no picture to write";
  const bool written = !shown_.empty() && WritePending();
  int gifError = 0;
  const bool closed = EGifCloseFile(gif_, &gifError) == GIF_OK;
  gif_ = nullptr;
  if (written && !closed) Failed(gifError);
  return written && closed;
}

bool GifAnimation::WriteStart() {
  ColorMapObject* table = globalColours_.empty() ? nullptr : MakeColourTable(globalColours_);
  const int result = EGifPutScreenDesc(gif_, width_, height_, 8, 0, table);
  GifFreeMapObject(table);
  if (result != GIF_OK) return Failed(gif_->Error);
  if (!PutLoopForEver(gif_)) return Failed(gif_->Error);
  return true;
}

bool GifAnimation::WritePending() { return WriteRect(pending_.rect, pending_.delayCs); }

// Splits a rectangle with too many colours in two along its longer side, until
// every part has few enough: a part of 255 pixels or fewer always has.
bool GifAnimation::WriteRect(const Rect& rect, int delayCs) {
  const std::vector<uint32_t> colours = ChangedColoursIn(rect);
  if (static_cast<int>(colours.size()) <= kMaxColoursPerTable) {
    return WriteImage(rect, delayCs, colours);
  }
  Rect first = rect, second = rect;
  if (rect.width >= rect.height) {
    first.width = rect.width / 2;
    second.left += first.width;
    second.width -= first.width;
  } else {
    first.height = rect.height / 2;
    second.top += first.height;
    second.height -= first.height;
  }
  return WriteRect(first, 0) && WriteRect(second, delayCs);
}

bool GifAnimation::WriteImage(const Rect& rect, int delayCs, const std::vector<uint32_t>& colours) {
  const bool useGlobal = UsesGlobalTable(colours);
  const std::vector<uint32_t>& table = useGlobal ? globalColours_ : colours;
  const auto transparent = static_cast<GifPixelType>(table.size());

  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = delayCs;
  control.TransparentColor = before_.empty() ? NO_TRANSPARENT_COLOR : transparent;
  GifByteType controlBytes[4];
  const size_t controlSize = EGifGCBToExtension(&control, controlBytes);
  if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(controlSize), controlBytes) !=
      GIF_OK) {
    return Failed(gif_->Error);
  }

  ColorMapObject* localTable = useGlobal ? nullptr : MakeColourTable(colours);
  // giflib keeps a copy of the last local table, and an image without one
  // forgets that copy without freeing it: it is freed here instead.
  if (localTable == nullptr && gif_->Image.ColorMap != nullptr) {
    GifFreeMapObject(gif_->Image.ColorMap);
    gif_->Image.ColorMap = nullptr;
  }
  const int result =
      EGifPutImageDesc(gif_, rect.left, rect.top, rect.width, rect.height, false, localTable);
  GifFreeMapObject(localTable);
  if (result != GIF_OK) return Failed(gif_->Error);

  std::unordered_map<uint32_t, GifPixelType> indexOf;
  for (size_t i = 0; i < table.size(); ++i) indexOf[table[i]] = static_cast<GifPixelType>(i);
  std::vector<GifPixelType> line(rect.width);
  for (int y = rect.top; y < rect.top + rect.height; ++y) {
    const size_t rowStart = static_cast<size_t>(y) * width_ + rect.left;
    for (int x = 0; x < rect.width; ++x) {
      const size_t pixel = rowStart + x;
      line[x] = Changed(pixel) ? indexOf.at(shown_[pixel]) : transparent;
    }
    if (EGifPutLine(gif_, line.data(), rect.width) != GIF_OK) return Failed(gif_->Error);
  }
  return true;
}

// A failed write says why in errno's words ("No space left on device"),
// not giflib's.
bool GifAnimation::Failed(int gifError) {
  error_ = writeErrno_ != 0 ? std::strerror(writeErrno_) : GifErrorString(gifError);
  return false;
}

GifAnimation::Rect GifAnimation::ChangedRect(const Pixels& picture) const {
  int left = width_, right = -1, top = height_, bottom = -1;
  for (int y = 0; y < height_; ++y) {
    const uint32_t* before = &shown_[static_cast<size_t>(y) * width_];
    const uint32_t* after = &picture[static_cast<size_t>(y) * width_];
    if (std::equal(before, before + width_, after)) continue;
    top = std::min(top, y);
    bottom = y;
    for (int x = 0; x < width_; ++x) {
      if (before[x] == after[x]) continue;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  if (bottom < 0) return Rect{0, 0, 0, 0};
  return Rect{left, top, right - left + 1, bottom - top + 1};
}

// Whether the pending picture's pixel differs from the one shown before it;
// every pixel of the first picture does.
bool GifAnimation::Changed(size_t pixel) const {
  return before_.empty() || before_[pixel] != shown_[pixel];
}

// The distinct colours that the pending picture changes pixels of `rect` to,
// in ascending order.
std::vector<uint32_t> GifAnimation::ChangedColoursIn(const Rect& rect) const {
  std::vector<uint32_t> colours;
  for (int y = rect.top; y < rect.top + rect.height; ++y) {
    const size_t rowStart = static_cast<size_t>(y) * width_ + rect.left;
    for (int x = 0; x < rect.width; ++x) {
      if (Changed(rowStart + x)) colours.push_back(shown_[rowStart + x]);
    }
    // Keep the list short as it goes: pictures have few colours.
    std::sort(colours.begin(), colours.end());
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
  }
  return colours;
}

// The global table serves when it holds every colour and a local table would
// not take fewer bits a pixel.
bool GifAnimation::UsesGlobalTable(const std::vector<uint32_t>& colours) const {
  return !globalColours_.empty() &&
         BitsFor(colours.size() + 1) >= BitsFor(globalColours_.size() + 1) &&
         std::includes(globalColours_.begin(), globalColours_.end(), colours.begin(),
                       colours.end());
}
