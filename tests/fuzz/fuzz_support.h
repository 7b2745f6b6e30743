// What the fuzz targets share: a checked condition that stops the run, and
// the in-memory file through which an input reaches a reader that opens a
// file by name.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Stops the process, so libFuzzer records the input as a crash, when
// `condition` is false; the message says which invariant broke.
#define FUZZ_REQUIRE(condition)                                                           \
  do {                                                                                    \
    if (!(condition)) {                                                                   \
      std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (false)

namespace fuzz {

// An anonymous in-memory file of this process, opened again by name through
// /proc/self/fd. Each input overwrites it: nothing touches the disk, parallel
// fuzzing processes never share a file, and a crash leaves nothing behind.
class InputFile {
 public:
  explicit InputFile(const char* name) : fd_(memfd_create(name, MFD_CLOEXEC)) {
    if (fd_ < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~InputFile() { close(fd_); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Replaces the file's contents with the `size` bytes at `data`.
  void Write(const uint8_t* data, size_t size) {
    FUZZ_REQUIRE(ftruncate(fd_, 0) == 0);
    size_t written = 0;
    while (written < size) {
      const ssize_t count = pwrite(fd_, data + written, size - written, written);
      FUZZ_REQUIRE(count > 0);
      written += static_cast<size_t>(count);
    }
  }

  const char* Path() const { return path_.c_str(); }

 private:
  int fd_;
  std::string path_;
};

}  // namespace fuzz
