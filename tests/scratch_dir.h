// A scratch directory for tests that read files from disk.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

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

}  // namespace test_files
