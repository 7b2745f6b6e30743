// An animated GIF written one picture at a time with giflib. Each picture is
// stored as the rectangle that changed since the one before it, drawn over
// what is shown (no disposal), its unchanged pixels transparent, so that a
// search, where little moves from one frame to the next, stays small.
// Colours are kept exact; every colour table keeps one entry for the
// transparent pixels:
// - the global colour table holds the first picture's colours when there are
//   at most 255 of them;
// - a rectangle takes its own local table of the colours it changes to when
//   that needs fewer bits a pixel, or when the global table lacks one of them;
// - a rectangle that changes to more than 255 colours is split into smaller
//   ones with at most 255 each, all but the last shown for no time.
// A picture equal to the one before it adds its time to that one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct GifFileType;

class GifAnimation {
 public:
  // A picture's pixels: 0xRRGGBB, row by row from the top.
  using Pixels = std::vector<uint32_t>;

  GifAnimation() = default;
  GifAnimation(const GifAnimation&) = delete;
  GifAnimation& operator=(const GifAnimation&) = delete;
  // Closes the file without finishing it when Finish was not reached.
  ~GifAnimation();

  // Starts an animation of pictures of width x height, written to `stream`,
  // which stays open (and unflushed) after Finish. False, with the reason in
  // error(), when giflib cannot start it.
  bool Open(std::FILE* stream, int width, int height);

  // Adds a picture, shown for `delayCs` hundredths of a second (1 to 65535).
  // False, with the reason in error(), when writing fails.
  bool Add(const Pixels& picture, int delayCs);

  // Writes what is still held back and the trailer; the animation loops for
  // ever. False, with the reason in error(), when writing fails or no
  // picture was added.
  bool Finish();

  const std::string& error() const { return error_; }

 private:
  struct Rect {
    int left, top, width, height;
  };
  // The last picture that changed, held back until its time is known.
  struct Pending {
    Rect rect;
    int delayCs;
  };

  // giflib's output function: writes to the stream, keeping the first
  // write error.
  static int WriteBytes(GifFileType* gif, const unsigned char* bytes, int length);
  bool WriteStart();
  bool WritePending();
  bool WriteRect(const Rect& rect, int delayCs);
  bool WriteImage(const Rect& rect, int delayCs, const std::vector<uint32_t>& colours);
  bool Failed(int gifError);

  Rect ChangedRect(const Pixels& picture) const;
  bool Changed(size_t pixel) const;
  std::vector<uint32_t> ChangedColoursIn(const Rect& rect) const;
  bool UsesGlobalTable(const std::vector<uint32_t>& colours) const;

  std::FILE* stream_ = nullptr;
  int writeErrno_ = 0;  // errno of the first failed write
  GifFileType* gif_ = nullptr;
  int width_ = 0, height_ = 0;
  Pixels shown_;       // the last picture added that changed; empty before the first
  Pixels before_;      // the picture shown before it; empty while it is the first
  Pending pending_{};  // where it differs from the one before, and its time
  std::vector<uint32_t> globalColours_;  // empty when the first picture had more than 255
  std::string error_;
};
