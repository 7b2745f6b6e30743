// The shipped files found by their default names: the working directory's
// first, else the installation's, else the plain name.
#include "shell/data_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

}  // namespace
