// Opening files by UTF-8 name: names outside ASCII, and paths that must not be
// opened because they are not regular files. Replacing a file's contents
// safely, and refusing to where it must not or cannot.
#include "shell/files/file_names.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "shell/files/safe_replacement.h"
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

TEST_F(UnwritableFolderTest, ReadOnlyFileSystemIsRefusedAndTheFileKept) {
  TmpfsMount mount(Folder(), "size=64k");
  if (!mount.mounted()) GTEST_SKIP() << "mounting a read-only file system needs root";
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

// Runs the rest of a scope as the user and group `id` (effective ids only,
// so that root gets its own back); only root can, others skip.
class EffectiveUser {
 public:
  explicit EffectiveUser(uid_t id) {
    switched_ = geteuid() == 0 && setegid(id) == 0 && seteuid(id) == 0;
  }
  ~EffectiveUser() {
    if (!switched_) return;
    if (seteuid(0) != 0 || setegid(0) != 0) std::abort();
  }
  EffectiveUser(const EffectiveUser&) = delete;
  EffectiveUser& operator=(const EffectiveUser&) = delete;
  bool switched() const { return switched_; }

 private:
  bool switched_ = false;
};

constexpr uid_t kNobody = 65534;

ino_t InodeOf(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_ino;
}

TEST(ReplaceFileContentsTest, FollowsLinksToTheirTargetExistingOrNotAndRefusesALoop) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.PathOf("a"));
  std::filesystem::create_directories(dir.PathOf("b"));
  dir.Write("b/there.txt", "old");
  // Relative links are read from the link's folder.
  std::filesystem::create_symlink("../b/none.txt", dir.PathOf("a/dangle.txt"));
  std::filesystem::create_symlink("dangle.txt", dir.PathOf("a/chain.txt"));
  std::filesystem::create_symlink(dir.PathOf("b/there.txt"), dir.PathOf("a/absolute.txt"));
  std::filesystem::create_symlink("loop2.txt", dir.PathOf("a/loop1.txt"));
  std::filesystem::create_symlink("loop1.txt", dir.PathOf("a/loop2.txt"));
  struct Case {
    const char* name;
    const char* target;
  };
  for (const Case& c : {Case{"a/dangle.txt", "b/none.txt"}, Case{"a/chain.txt", "b/none.txt"},
                        Case{"a/absolute.txt", "b/there.txt"}}) {
    SCOPED_TRACE(c.name);
    std::string error;

    ASSERT_TRUE(ReplaceFileContents(dir.PathOf(c.name).c_str(), c.name, &error)) << error;

    EXPECT_TRUE(std::filesystem::is_symlink(dir.PathOf(c.name)));
    EXPECT_EQ(ContentsOf(dir.PathOf(c.target)), c.name);
  }
  std::string error;
  EXPECT_FALSE(ReplaceFileContents(dir.PathOf("a/loop1.txt").c_str(), "new", &error));
  EXPECT_EQ(error, "Too many levels of symbolic links");
  EXPECT_EQ(NamesIn(dir.PathOf("a")),
            (std::vector<std::string>{"absolute.txt", "chain.txt", "dangle.txt", "loop1.txt",
                                      "loop2.txt"}));
  EXPECT_EQ(NamesIn(dir.PathOf("b")), (std::vector<std::string>{"none.txt", "there.txt"}));
}

TEST(ReplaceFileContentsTest, WritesInPlaceWhereARenameWouldCutAHardLink) {
  ScratchDir dir;
  const std::string file = dir.Write("maze.txt", "old contents that are longer\n");
  std::filesystem::create_hard_link(file, dir.PathOf("shared.txt"));
  const ino_t inode = InodeOf(file);
  std::string error;

  ASSERT_TRUE(ReplaceFileContents(file.c_str(), "1 9\n", &error)) << error;

  EXPECT_EQ(InodeOf(file), inode);
  EXPECT_EQ(ContentsOf(dir.PathOf("shared.txt")), "1 9\n");
  EXPECT_EQ(NamesIn(dir.PathOf("")), (std::vector<std::string>{"maze.txt", "shared.txt"}));
}

// Files of another user, and a folder that may not be written: the tests
// run as root, so they look at them as the user nobody.
TEST(ReplaceFileContentsTest, AnotherUsersFileIsWrittenInPlaceWhenWritableAndNamedWhenNot) {
  ScratchDir dir;
  chmod(dir.PathOf("").c_str(), 0777);
  const std::string shared = dir.Write("shared.txt", "old");
  chmod(shared.c_str(), 0666);
  const std::string theirs = dir.Write("theirs.txt", "old");
  chmod(theirs.c_str(), 0644);
  EffectiveUser nobody(kNobody);
  if (!nobody.switched()) GTEST_SKIP() << "only root can look at files as another user";
  std::string error;

  ASSERT_TRUE(ReplaceFileContents(shared.c_str(), "new", &error)) << error;
  EXPECT_FALSE(ReplaceFileContents(theirs.c_str(), "new", &error));

  EXPECT_EQ(error, "the file is owned by another user");
  struct stat status {};
  stat(shared.c_str(), &status);
  EXPECT_EQ(status.st_uid, 0u);
  EXPECT_EQ(ContentsOf(shared), "new");
  EXPECT_EQ(ContentsOf(theirs), "old");
  EXPECT_EQ(NamesIn(dir.PathOf("")), (std::vector<std::string>{"shared.txt", "theirs.txt"}));
}

TEST(ReplaceFileContentsTest, WritableFileInAFolderThatMayNotBeWrittenIsWrittenInPlace) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.PathOf("folder"));
  const std::string file = dir.Write("folder/maze.txt", "old contents\n");
  chmod(dir.PathOf("").c_str(), 0755);
  ASSERT_EQ(chown(file.c_str(), kNobody, kNobody), 0);
  EffectiveUser nobody(kNobody);
  if (!nobody.switched()) GTEST_SKIP() << "root may write any folder";
  std::string error;

  ASSERT_TRUE(ReplaceFileContents(file.c_str(), "1 9\n", &error)) << error;

  EXPECT_EQ(ContentsOf(file), "1 9\n");
}

TEST(ReplaceFileContentsTest, BindMountedFileIsWrittenInPlace) {
  ScratchDir dir;
  const std::string source = dir.Write("source.txt", "old contents\n");
  const std::string file = dir.Write("maze.txt", "");
  if (mount(source.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "a bind mount needs root";
  }
  std::string error;

  const bool written = ReplaceFileContents(file.c_str(), "1 9\n", &error);

  umount2(file.c_str(), MNT_DETACH);
  ASSERT_TRUE(written) << error;
  EXPECT_EQ(ContentsOf(source), "1 9\n");
  EXPECT_EQ(NamesIn(dir.PathOf("")), (std::vector<std::string>{"maze.txt", "source.txt"}));
}

TEST(RemoveLeftoverReplacementsTest, RemovesOnlyOldUnlockedPartialFilesOfThatName) {
  ScratchDir dir;
  dir.Write("maze.txt", "1");
  const char* names[] = {"maze.txt.partial-Ab3xYz", "maze.txt.partial-locked",
                         "maze.txt.partial-young1", "other.txt.partial-Ab3xYz",
                         "maze.txt.partial-toolong"};
  for (const char* name : names) dir.Write(name, "");
  const std::filesystem::file_time_type old =
      std::filesystem::last_write_time(dir.PathOf("maze.txt")) - std::chrono::minutes(1);
  for (const char* name : names) {
    if (std::string(name) != "maze.txt.partial-young1") {
      std::filesystem::last_write_time(dir.PathOf(name), old);
    }
  }
  // A running writer holds its file locked.
  const int locked = open(dir.PathOf("maze.txt.partial-locked").c_str(), O_RDONLY);
  ASSERT_EQ(flock(locked, LOCK_EX), 0);
  std::filesystem::create_symlink("maze.txt", dir.PathOf("link.txt"));

  RemoveLeftoverReplacements(dir.PathOf("link.txt").c_str());

  close(locked);
  EXPECT_EQ(NamesIn(dir.PathOf("")),
            (std::vector<std::string>{"link.txt", "maze.txt", "maze.txt.partial-locked",
                                      "maze.txt.partial-toolong", "maze.txt.partial-young1",
                                      "other.txt.partial-Ab3xYz"}));
}

}  // namespace
