// A scratch directory for tests that read files from disk.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>

namespace test_files {

// A fresh directory under the test temp dir, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = ::testing::TempDir() + "pathwick-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed for " << pattern;
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

  // Writes `contents` byte for byte and returns the file's path.
  std::string Write(const std::string& name, const std::string& contents) const {
    const std::string file = PathOf(name);
    std::ofstream(file, std::ios::binary) << contents;
    return file;
  }

 private:
  std::filesystem::path path_;
};

// A FIFO that tells whether anyone opened it for reading. A reader that
// opens a FIFO blocks until a writer comes, so a watcher keeps trying to
// open it for writing without blocking: that succeeds only while a reader
// waits, which it then releases (the reader sees an empty file).
class WatchedFifo {
 public:
  explicit WatchedFifo(std::string path) : path_(std::move(path)) {
    if (mkfifo(path_.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo failed for " << path_;
    watcher_ = std::thread([this] { Watch(); });
  }
  ~WatchedFifo() {
    stop_ = true;
    watcher_.join();
  }
  WatchedFifo(const WatchedFifo&) = delete;
  WatchedFifo& operator=(const WatchedFifo&) = delete;

  const std::string& path() const { return path_; }
  bool WasOpenedForReading() const { return opened_; }

 private:
  void Watch() {
    while (!stop_) {
      const int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        opened_ = true;
        close(fd);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  std::string path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> opened_{false};
  std::thread watcher_;
};

}  // namespace test_files
