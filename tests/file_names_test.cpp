// Opening files by UTF-8 name: names outside ASCII, and paths that must not be
// opened because they are not regular files.
#include "shell/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/scratch_dir.h"

namespace {

using test_files::ScratchDir;
using test_files::WatchedFifo;

std::string Contents(std::ifstream& file) {
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(OpenRegularFileTest, OpensFilesByTheirUtf8NameInAFolderWithAUtf8Name) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.PathOf("迷宫文件夹"));
  // Chinese, an emoji outside the 16-bit range, and bytes that are no UTF-8
  // at all: on Linux a name is bytes and must reach the file system as such.
  for (const char* name :
       {"迷宫文件夹/迷宫.txt", "迷宫文件夹/石墙🧱.bmp", "迷宫文件夹/\xff\xfe.txt"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.Write(name, std::string("1 9\r\n\0x", 7));
    std::ifstream file;

    ASSERT_TRUE(OpenRegularFile(file, path.c_str(), std::ios::binary));

    EXPECT_EQ(Contents(file), std::string("1 9\r\n\0x", 7));
  }
}

TEST(OpenRegularFileTest, RefusesWhatIsNoRegularFileAndLeavesTheStreamFailed) {
  ScratchDir dir;
  WatchedFifo fifo(dir.PathOf("迷宫.fifo"));
  for (const std::string& path : {dir.PathOf("missing.txt"), dir.PathOf(""), fifo.path()}) {
    SCOPED_TRACE(path);
    std::ifstream file;

    EXPECT_FALSE(OpenRegularFile(file, path.c_str()));

    int value = 0;
    EXPECT_FALSE(file >> value);
  }
  EXPECT_FALSE(fifo.WasOpenedForReading());
}

}  // namespace
