// Opening files by UTF-8 name: names outside ASCII, and paths that must not be
// opened because they are not regular files. Replacing a file's contents
// safely, and refusing to where it must not or cannot.
#include "shell/file_names.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

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

std::string ContentsOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Contents(file);
}

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

// The names in `folder`, so that a test sees a temporary file left behind.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReplaceFileContentsTest, ReplacesByUtf8NameKeepingTheModeAndFollowingALink) {
  ScratchDir dir;
  const std::string file = dir.Write("迷宫.txt", "old contents that are longer\n");
  chmod(file.c_str(), 0640);
  std::filesystem::create_symlink("迷宫.txt", dir.PathOf("link.txt"));
  std::string error;

  ASSERT_TRUE(ReplaceFileContents(dir.PathOf("link.txt").c_str(), "1 9\n", &error)) << error;

  EXPECT_EQ(ContentsOf(file), "1 9\n");
  EXPECT_EQ(ModeOf(file), 0640u);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.PathOf("link.txt")));
  EXPECT_EQ(NamesIn(dir.PathOf("")), (std::vector<std::string>{"link.txt", "迷宫.txt"}));
}

TEST(ReplaceFileContentsTest, CreatesAMissingFileWithTheModeTheUmaskAllows) {
  ScratchDir dir;
  const mode_t mask = umask(022);
  std::string error;

  EXPECT_TRUE(ReplaceFileContents(dir.PathOf("new.txt").c_str(), "9", &error)) << error;

  umask(mask);
  EXPECT_EQ(ContentsOf(dir.PathOf("new.txt")), "9");
  EXPECT_EQ(ModeOf(dir.PathOf("new.txt")), 0644u);
}

TEST(ReplaceFileContentsTest, LeavesAReadOnlyFileAndWhatIsNoRegularFileAlone) {
  // The mode bits decide, so that the file is left alone also for root,
  // whom the file system would let replace it.
  ScratchDir dir;
  const std::string readOnly = dir.Write("read-only.txt", "kept");
  chmod(readOnly.c_str(), 0444);
  std::filesystem::create_directory(dir.PathOf("folder"));
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {{readOnly, "the file is read-only"},
                        {dir.PathOf("folder"), "it is not a regular file"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string error;

    EXPECT_FALSE(ReplaceFileContents(c.path.c_str(), "new", &error));

    EXPECT_EQ(error, c.reason);
  }
  EXPECT_EQ(ContentsOf(readOnly), "kept");
  EXPECT_TRUE(std::filesystem::is_directory(dir.PathOf("folder")));
  EXPECT_EQ(NamesIn(dir.PathOf("")), (std::vector<std::string>{"folder", "read-only.txt"}));
}

// A tmpfs of its own, for a folder that root cannot write either (read-only)
// and a disk that fills up. Mounting needs root's privilege to mount; a
// process without it gets no mount, and the test says why it skips.
class TmpfsMount {
 public:
  TmpfsMount(std::string folder, const char* options) : folder_(std::move(folder)) {
    std::filesystem::create_directory(folder_);
    mounted_ = mount("tmpfs", folder_.c_str(), "tmpfs", 0, options) == 0;
  }
  ~TmpfsMount() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool mounted() const { return mounted_; }
  bool MakeReadOnly() {
    return mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

// A folder holding the map file "maze.txt" that cannot take a new file:
// read-only, or on a full disk.
class UnwritableFolderTest : public ::testing::Test {
 protected:
  std::string Folder() const { return dir_.PathOf("mnt"); }
  std::string Map() const { return dir_.PathOf("mnt/maze.txt"); }

  void ExpectRefusedAndUnchanged(const std::string& reason) {
    const std::vector<std::string> names = NamesIn(Folder());
    std::string error;

    EXPECT_FALSE(ReplaceFileContents(Map().c_str(), "0 1 9\n", &error));

    EXPECT_EQ(error, reason);
    EXPECT_EQ(ContentsOf(Map()), "1 1 9\n");
    EXPECT_EQ(NamesIn(Folder()), names);
  }

  ScratchDir dir_;
};

TEST_F(UnwritableFolderTest, ReadOnlyFolderIsRefusedAndTheFileKept) {
  if (geteuid() != 0) {
    std::filesystem::create_directory(Folder());
    dir_.Write("mnt/maze.txt", "1 1 9\n");
    chmod(Folder().c_str(), 0555);
    ExpectRefusedAndUnchanged("Permission denied");
    chmod(Folder().c_str(), 0755);
    return;
  }
  TmpfsMount mount(Folder(), "size=64k");
  if (!mount.mounted()) GTEST_SKIP() << "root writes any folder, and this process may not mount";
  dir_.Write("mnt/maze.txt", "1 1 9\n");
  ASSERT_TRUE(mount.MakeReadOnly());
  ExpectRefusedAndUnchanged("Read-only file system");
}

TEST_F(UnwritableFolderTest, FullDiskIsRefusedAndTheFileKept) {
  TmpfsMount mount(Folder(), "size=8k");
  if (!mount.mounted()) GTEST_SKIP() << "filling a disk needs a tmpfs of its own, which needs root";
  dir_.Write("mnt/maze.txt", "1 1 9\n");
  // Fill the rest of the disk.
  std::ofstream filler(dir_.PathOf("mnt/filler"), std::ios::binary);
  const std::string block(4096, 'x');
  for (int i = 0; i < 16 && filler; ++i) filler << block << std::flush;
  filler.close();
  ExpectRefusedAndUnchanged("No space left on device");
}

}  // namespace
