// The shipped files found by their default names: the working directory's
// first, else the installation's, else the plain name.
#include "shell/files/data_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "shell/files/file_names.h"
#include "tests/scratch_dir.h"

namespace {

using test_files::ScratchDir;

constexpr char kMap[] = "MazeMap.txt";
constexpr char kTexture[] = "Stone.BMP";

// Makes `folder` the working directory for the life of the object.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

// An installation under PREFIX as `cmake --install --prefix PREFIX` lays it
// out (the program file need not be a real program), and a working directory
// beside it.
struct Installation {
  Installation() {
    std::filesystem::create_directories(root.PathOf("prefix/bin"));
    std::filesystem::create_directories(root.PathOf("prefix/share/pathwick"));
    std::filesystem::create_directories(root.PathOf("work"));
    root.Write("prefix/bin/pathwick", "");
  }
  std::string Installed(const char* name) const {
    return root.PathOf(std::string("prefix/share/pathwick/") + name);
  }
  std::filesystem::path Program() const { return root.PathOf("prefix/bin/pathwick"); }

  ScratchDir root;
};

TEST(DataFilesTest, TheInstalledFolderIsTheDataFolderOfTheProgramsPrefix) {
  EXPECT_EQ(InstalledDataFolder("/usr/bin/pathwick"), "/usr/share/pathwick");
  EXPECT_EQ(InstalledDataFolder("/opt/pw/bin/pathwick-record"), "/opt/pw/share/pathwick");
}

TEST(DataFilesTest, TheWorkingDirectoryWinsThenTheInstallationThenThePlainName) {
  struct Case {
    const char* what;
    bool inWorkingDirectory, installed;
    bool expectInstalled;
  };
  for (const Case& c :
       {Case{"in both", true, true, false},
        Case{"in the working directory only", true, false, false},
        Case{"installed only", false, true, true}, Case{"in neither", false, false, false}}) {
    SCOPED_TRACE(c.what);
    Installation install;
    if (c.inWorkingDirectory) install.root.Write(std::string("work/") + kMap, "1");
    if (c.installed) install.root.Write(std::string("prefix/share/pathwick/") + kMap, "9");
    InFolder work(install.root.PathOf("work"));

    EXPECT_EQ(FindDataFile(kMap, install.Program()),
              c.expectInstalled ? install.Installed(kMap) : kMap);
  }
}

TEST(DataFilesTest, EachFileIsLookedUpOnItsOwn) {
  Installation install;
  install.root.Write(std::string("work/") + kMap, "1");
  install.root.Write(std::string("prefix/share/pathwick/") + kMap, "9");
  install.root.Write(std::string("prefix/share/pathwick/") + kTexture, "BM");
  InFolder work(install.root.PathOf("work"));

  EXPECT_EQ(FindDataFile(kMap, install.Program()), kMap);
  EXPECT_EQ(FindDataFile(kTexture, install.Program()), install.Installed(kTexture));
}

TEST(DataFilesTest, OnlyARegularFileIsTakenFromTheInstallation) {
  Installation install;
  std::filesystem::create_directory(install.Installed(kMap));
  InFolder work(install.root.PathOf("work"));

  EXPECT_EQ(FindDataFile(kMap, install.Program()), kMap);
  EXPECT_EQ(FindDataFile(kMap, std::filesystem::path()), kMap);
}

// --edit without --map: in the installation's own folder the user's copy is
// edited, made from the installed maze once and kept after; anywhere else
// the working directory's maze.
TEST(MapFileToEditTest, TheInstalledMazeIsNeverEditedButTheUsersCopyOfIt) {
  Installation install;
  install.root.Write(std::string("prefix/share/pathwick/") + kMap, "1 9\n");
  const std::string userFolder = install.root.PathOf("home/.local/share/pathwick");
  const std::string copy = userFolder + "/" + kMap;
  NoticeLevel level = NoticeLevel::None;
  std::string notice;
  {
    InFolder work(install.root.PathOf("work"));
    EXPECT_EQ(MapFileToEdit(kMap, install.Program(), userFolder, &level, &notice), kMap);
    EXPECT_EQ(level, NoticeLevel::None);
    EXPECT_EQ(notice, "");
  }
  InFolder installed(install.Installed(""));

  EXPECT_EQ(MapFileToEdit(kMap, install.Program(), userFolder, &level, &notice), copy);

  EXPECT_EQ(level, NoticeLevel::Info);
  EXPECT_EQ(notice, "the installed maze is not edited: the edits go to '" + copy + "'");
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(copy.c_str(), &contents));
  EXPECT_EQ(contents, "1 9\n");
  // The copy, once edited, is the user's: it is not made again.
  install.root.Write("home/.local/share/pathwick/MazeMap.txt", "0 1 9\n");
  EXPECT_EQ(MapFileToEdit(kMap, install.Program(), userFolder, &level, &notice), copy);
  ASSERT_TRUE(ReadWholeFile(copy.c_str(), &contents));
  EXPECT_EQ(contents, "0 1 9\n");
  // A copy that cannot be made is said; without a folder nothing is edited.
  install.root.Write("file", "");
  EXPECT_EQ(
      MapFileToEdit(kMap, install.Program(), install.root.PathOf("file/pathwick"), &level, &notice),
      install.root.PathOf("file/pathwick/MazeMap.txt"));
  EXPECT_EQ(level, NoticeLevel::Warning);
  EXPECT_EQ(notice.rfind("cannot copy the installed maze to '", 0), 0u) << notice;
  EXPECT_EQ(MapFileToEdit(kMap, install.Program(), "", &level, &notice), std::nullopt);
  EXPECT_EQ(level, NoticeLevel::Warning);
}

// --edit with --map: whatever name leads to a file in the installation's
// folder, the user's copy of that file is edited instead; any other map is
// edited where it is.
TEST(MapFileToEditTest, NoNameForTheInstalledMazeGetsItEdited) {
  struct Case {
    const char* what;
    const char* workFolder;  // relative to the scratch folder
    const char* named;       // relative to the working directory, or "@" + relative to scratch
    bool installed;
  };
  for (const Case& c : {
           Case{"the plain name in the installed folder", "prefix/share/pathwick", kMap, true},
           Case{"an absolute name", "work", "@prefix/share/pathwick/MazeMap.txt", true},
           Case{"a name through ..", "work", "../prefix/share/pathwick/MazeMap.txt", true},
           Case{"a symbolic link", "work", "link.txt", true},
           Case{"a link to a link", "work", "link-to-link.txt", true},
           Case{"a linked folder", "work", "linked-folder/MazeMap.txt", true},
           Case{"a hard link", "work", "hard.txt", true},
           Case{"a new file in the installed folder", "work", "@prefix/share/pathwick/New.txt",
                true},
           Case{"a dangling link into the installed folder", "work", "dangling.txt", true},
           Case{"a map of the user's own", "work", "mine.txt", false},
           Case{"a new map of the user's own", "work", "new.txt", false},
       }) {
    SCOPED_TRACE(c.what);
    Installation install;
    const std::string installedMaze = install.Installed(kMap);
    install.root.Write(std::string("prefix/share/pathwick/") + kMap, "1 9\n");
    install.root.Write("work/mine.txt", "0 9\n");
    std::filesystem::create_symlink(installedMaze, install.root.PathOf("work/link.txt"));
    std::filesystem::create_symlink("link.txt", install.root.PathOf("work/link-to-link.txt"));
    std::filesystem::create_directory_symlink(install.Installed(""),
                                              install.root.PathOf("work/linked-folder"));
    std::filesystem::create_hard_link(installedMaze, install.root.PathOf("work/hard.txt"));
    std::filesystem::create_symlink(install.Installed("Gone.txt"),
                                    install.root.PathOf("work/dangling.txt"));
    const std::string userFolder = install.root.PathOf("home/pathwick");
    const std::string named =
        c.named[0] == '@' ? install.root.PathOf(c.named + 1) : std::string(c.named);
    InFolder work(install.root.PathOf(c.workFolder));
    NoticeLevel level = NoticeLevel::None;
    std::string notice;

    const std::optional<std::string> edited =
        MapFileToEdit(named.c_str(), install.Program(), userFolder, &level, &notice);

    ASSERT_TRUE(edited.has_value());
    if (!c.installed) {
      EXPECT_EQ(*edited, named);
      EXPECT_EQ(level, NoticeLevel::None);
      continue;
    }
    EXPECT_EQ(std::filesystem::path(*edited).parent_path(), userFolder);
    EXPECT_EQ(level, NoticeLevel::Info);
    EXPECT_EQ(notice, "the installed maze is not edited: the edits go to '" + *edited + "'");
    std::string installedContents;
    ASSERT_TRUE(ReadWholeFile(installedMaze.c_str(), &installedContents));
    EXPECT_EQ(installedContents, "1 9\n");
  }
}

TEST(MapFileToEditTest, TheUsersFolderIsTheXdgDataHomesOrElseUnderHome) {
  const char* savedXdg = std::getenv("XDG_DATA_HOME");
  const std::string xdg = savedXdg != nullptr ? savedXdg : "";
  const char* savedHome = std::getenv("HOME");
  const std::string home = savedHome != nullptr ? savedHome : "";
  setenv("HOME", "/home/ann", 1);
  setenv("XDG_DATA_HOME", "/data/ann", 1);
  EXPECT_EQ(UserMapFolder(), "/data/ann/pathwick");
  setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_EQ(UserMapFolder(), "/home/ann/.local/share/pathwick");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(UserMapFolder(), "/home/ann/.local/share/pathwick");

  if (savedXdg != nullptr) setenv("XDG_DATA_HOME", xdg.c_str(), 1);
  if (savedHome != nullptr) setenv("HOME", home.c_str(), 1);
}

}  // namespace
