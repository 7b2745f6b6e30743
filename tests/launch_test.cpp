// The command line: options in both spellings, help, version, bad usage,
// and the warnings about named files that cannot be read.
#include "shell/launch.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform_dummy.h"
#include "tests/scratch_dir.h"

namespace {

struct ParseCase {
  std::vector<const char*> arguments;  // after the program name
  ParseResult result;
  WindowChoice window;
  std::string mapFile;
  std::string textureFile;
  std::string error;
  bool mapNamed = false;  // whether the options record the file as named
  bool textureNamed = false;
  bool edit = false;
};

TEST(ParseArgumentsTest, ReadsOptionsWithTheirValues) {
  const ParseCase cases[] = {
      {{}, ParseResult::Run, WindowChoice::Ask, "MazeMap.txt", "Stone.BMP", ""},
      {{"--windowed", "--map", "a.txt"},
       ParseResult::Run,
       WindowChoice::Framed,
       "a.txt",
       "Stone.BMP",
       "",
       true},
      {{"--fullscreen", "--texture=b.bmp", "--map=c=d.txt"},
       ParseResult::Run,
       WindowChoice::FullScreen,
       "c=d.txt",
       "b.bmp",
       "",
       true,
       true},
      {{"--map", "x", "--windowed", "--fullscreen"},
       ParseResult::Run,
       WindowChoice::FullScreen,
       "x",
       "Stone.BMP",
       "",
       true},
      {{"--edit", "--map=new.txt"},
       ParseResult::Run,
       WindowChoice::Ask,
       "new.txt",
       "Stone.BMP",
       "",
       true,
       false,
       true},
      {{"--edit=yes"},
       ParseResult::Error,
       WindowChoice::Ask,
       "MazeMap.txt",
       "Stone.BMP",
       "option '--edit' takes no value"},
      {{"--windowed", "--help"},
       ParseResult::Help,
       WindowChoice::Framed,
       "MazeMap.txt",
       "Stone.BMP",
       ""},
      {{"/?"}, ParseResult::Help, WindowChoice::Ask, "MazeMap.txt", "Stone.BMP", ""},
      {{"--version", "--bogus"},
       ParseResult::Version,
       WindowChoice::Ask,
       "MazeMap.txt",
       "Stone.BMP",
       ""},
      {{"--map"},
       ParseResult::Error,
       WindowChoice::Ask,
       "MazeMap.txt",
       "Stone.BMP",
       "option '--map' needs a FILE"},
      {{"--texture="},
       ParseResult::Error,
       WindowChoice::Ask,
       "MazeMap.txt",
       "Stone.BMP",
       "option '--texture' needs a FILE"},
      {{"--windowed=yes"},
       ParseResult::Error,
       WindowChoice::Ask,
       "MazeMap.txt",
       "Stone.BMP",
       "option '--windowed' takes no value"},
      {{"--bogus"},
       ParseResult::Error,
       WindowChoice::Ask,
       "MazeMap.txt",
       "Stone.BMP",
       "unknown argument '--bogus'"},
      {{"maze.txt"},
       ParseResult::Error,
       WindowChoice::Ask,
       "MazeMap.txt",
       "Stone.BMP",
       "unknown argument 'maze.txt'"},
  };
  for (const ParseCase& c : cases) {
    std::vector<const char*> argv = {"pathwick"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    std::string trace;
    for (const char* argument : argv) trace += std::string(argument) + " ";
    SCOPED_TRACE(trace);
    LaunchOptions options;
    std::string error;

    EXPECT_EQ(ParseArguments(static_cast<int>(argv.size()), argv.data(), &options, &error),
              c.result);

    EXPECT_EQ(options.window, c.window);
    EXPECT_EQ(options.mapFile, c.mapFile);
    EXPECT_EQ(options.textureFile, c.textureFile);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(options.mapFileNamed, c.mapNamed);
    EXPECT_EQ(options.textureFileNamed, c.textureNamed);
    EXPECT_EQ(options.edit, c.edit);
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// The options that the console help lists: the first word of its lines
// that start with "  --".
std::vector<std::string> ConsoleOptions() {
  std::vector<std::string> options;
  for (const std::string& line : Lines(UsageText(UsageLayout::Console))) {
    if (line.rfind("  --", 0) == 0) options.push_back(line.substr(2, line.find(' ', 2) - 2));
  }
  return options;
}

TEST(UsageTextTest, BoxTextHasShortLinesWithEveryOptionOfTheConsoleTextOnALineOfItsOwn) {
  // Short enough that no box wraps a line, even on a small screen.
  constexpr size_t kMaxBoxLine = 48;
  const std::vector<std::string> lines = Lines(UsageText(UsageLayout::Box));
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    EXPECT_LE(line.size(), kMaxBoxLine);
    EXPECT_EQ(line.find("  "), std::string::npos) << "columns of spaces do not line up";
    EXPECT_FALSE(!line.empty() && line.front() == ' ') << "indented";
  }

  const std::vector<std::string> options = ConsoleOptions();
  ASSERT_EQ(options.size(), 7u);
  for (const std::string& option : options) {
    SCOPED_TRACE(option);
    int linesNamingIt = 0;
    for (const std::string& line : lines) {
      if (line.rfind(option + ":", 0) == 0 || line.rfind(option + " ", 0) == 0) ++linesNamingIt;
    }
    EXPECT_EQ(linesNamingIt, 1);
  }
}

class RunProgramTest : public ::testing::Test {
 protected:
  // Without a display the run ends right after the start-up checks.
  void SetUp() override {
    fake::Reset();
    fake::Get().displayAvailable = false;
  }
  void TearDown() override { fake::Reset(); }

  int Run(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "pathwick");
    return RunProgram(static_cast<int>(arguments.size()), arguments.data(), nullptr, kShowNormal);
  }

  const std::vector<std::pair<NoticeKind, std::string>>& Notices() { return fake::Get().notices; }

  test_files::ScratchDir dir_;
};

TEST_F(RunProgramTest, HelpAndVersionExitWithZeroAndBadUsageWithTwo) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(Run({"--map"}), 2);

  ASSERT_EQ(Notices().size(), 3u);
  EXPECT_EQ(Notices()[0].first, NoticeKind::Info);
  EXPECT_EQ(Notices()[0].second.rfind("Usage: pathwick [OPTION]...\n", 0), 0u);
  EXPECT_EQ(Notices()[1],
            std::make_pair(NoticeKind::Info, std::string("pathwick " PATHWICK_VERSION "\n")));
  EXPECT_EQ(Notices()[2].first, NoticeKind::Error);
  EXPECT_EQ(Notices()[2].second.rfind("option '--map' needs a FILE\n\nUsage:", 0), 0u);
  EXPECT_TRUE(fake::Get().questions.empty());
}

TEST_F(RunProgramTest, BoxesShowTheBoxLayoutOfTheHelpAlsoAfterBadUsage) {
  fake::Get().notifiesInBoxes = true;

  EXPECT_EQ(Run({"/?"}), 0);
  EXPECT_EQ(Run({"--bogus"}), 2);

  const std::string boxUsage = UsageText(UsageLayout::Box);
  const std::vector<std::pair<NoticeKind, std::string>> expected = {
      {NoticeKind::Info, boxUsage},
      {NoticeKind::Error, "unknown argument '--bogus'\n\n" + boxUsage},
  };
  EXPECT_EQ(Notices(), expected);
}

TEST_F(RunProgramTest, NamedFilesThatCannotBeReadAreReportedOnceEach) {
  const std::string map = dir_.Write("maze.txt", "1 1 9\n");
  const std::string texture = dir_.PathOf("missing.bmp");
  test_files::WatchedFifo fifo(dir_.PathOf("fifo.txt"));

  EXPECT_EQ(Run({"--map", map.c_str(), "--texture", texture.c_str()}), 1);
  EXPECT_EQ(Run({"--map", fifo.path().c_str()}), 1);

  const std::vector<std::pair<NoticeKind, std::string>> expected = {
      {NoticeKind::Warning,
       "cannot read the texture file '" + texture + "': the walls are plain brown"},
      {NoticeKind::Error, "no display (test)"},
      {NoticeKind::Warning,
       "cannot read the map file '" + fifo.path() + "': every cell stays a wall"},
      {NoticeKind::Error, "no display (test)"},
  };
  EXPECT_EQ(Notices(), expected);
  EXPECT_FALSE(fifo.WasOpenedForReading());
}

TEST_F(RunProgramTest, DefaultFilesAreReportedOnlyWhenTheCommandLineNamesThem) {
  // The working directory of the tests holds neither MazeMap.txt nor Stone.BMP.
  EXPECT_EQ(Run({}), 1);
  EXPECT_EQ(Run({"--map", "MazeMap.txt", "--texture=Stone.BMP"}), 1);

  const std::vector<std::pair<NoticeKind, std::string>> expected = {
      {NoticeKind::Error, "no display (test)"},
      {NoticeKind::Warning, "cannot read the map file 'MazeMap.txt': every cell stays a wall"},
      {NoticeKind::Warning, "cannot read the texture file 'Stone.BMP': the walls are plain brown"},
      {NoticeKind::Error, "no display (test)"},
  };
  EXPECT_EQ(Notices(), expected);
}

TEST_F(RunProgramTest, EditModeTakesAMapThatDoesNotExistYetWithoutAWarning) {
  const std::string missing = dir_.PathOf("new.txt");
  test_files::WatchedFifo fifo(dir_.PathOf("fifo.txt"));

  EXPECT_EQ(Run({"--edit", "--map", missing.c_str()}), 1);
  EXPECT_TRUE(Explorer.editMode);
  EXPECT_EQ(Run({"--edit", "--map", fifo.path().c_str()}), 1);

  const std::vector<std::pair<NoticeKind, std::string>> expected = {
      {NoticeKind::Error, "no display (test)"},
      {NoticeKind::Warning,
       "cannot read the map file '" + fifo.path() + "': every cell stays a wall"},
      {NoticeKind::Error, "no display (test)"},
  };
  EXPECT_EQ(Notices(), expected);
}

}  // namespace
