// The command line: options in both spellings, help, version, bad usage,
// and the warnings about named files that cannot be read.
#include "shell/main/launch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "shell/platform/offscreen/platform_offscreen.h"
#include "tests/bmp_fixture.h"
#include "tests/explorer_fixtures.h"
#include "tests/offscreen_program.h"
#include "tests/scratch_dir.h"
#include "ui/maze_editing.h"

namespace {

// Runs ParseArguments on `arguments` (after the program name).
ParseResult Parse(const std::vector<const char*>& arguments, LaunchOptions* options,
                  std::string* error) {
  std::vector<const char*> argv = {"pathwick"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return ParseArguments(static_cast<int>(argv.size()), argv.data(), options, error);
}

std::string Joined(const std::vector<const char*>& arguments) {
  std::string text;
  for (const char* argument : arguments) text += std::string(argument) + " ";
  return text;
}

TEST(ParseArgumentsTest, ReadsOptionsInEitherSpellingALaterOneWinning) {
  struct Case {
    std::vector<const char*> arguments;
    WindowChoice window;
    const char* mapFile;  // null: not named
    const char* textureFile;
    bool edit = false;
    bool gentle = false;
  };
  const Case cases[] = {
      {{}, WindowChoice::Ask, nullptr, nullptr},
      {{"--windowed", "--map", "a.txt"}, WindowChoice::Framed, "a.txt", nullptr},
      {{"--fullscreen", "--texture=b.bmp", "--map=c=d.txt"},
       WindowChoice::FullScreen,
       "c=d.txt",
       "b.bmp"},
      {{"--map", "x", "--windowed", "--fullscreen"}, WindowChoice::FullScreen, "x", nullptr},
      {{"--fullscreen", "--map=x", "--windowed", "--map", "y"}, WindowChoice::Framed, "y", nullptr},
      // A value is the next argument, whatever it looks like.
      {{"--map", "--windowed", "--texture", "-"}, WindowChoice::Ask, "--windowed", "-"},
      {{"--edit", "--map=new.txt"}, WindowChoice::Ask, "new.txt", nullptr, true},
      {{"--gentle", "--windowed"}, WindowChoice::Framed, nullptr, nullptr, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.arguments));
    LaunchOptions options;
    std::string error;

    EXPECT_EQ(Parse(c.arguments, &options, &error), ParseResult::Run);

    EXPECT_EQ(error, "");
    EXPECT_EQ(options.window, c.window);
    EXPECT_EQ(options.mapFile, c.mapFile ? c.mapFile : "MazeMap.txt");
    EXPECT_EQ(options.mapFileNamed, c.mapFile != nullptr);
    EXPECT_EQ(options.textureFile, c.textureFile ? c.textureFile : "Stone.BMP");
    EXPECT_EQ(options.textureFileNamed, c.textureFile != nullptr);
    EXPECT_EQ(options.edit, c.edit);
    EXPECT_EQ(options.gentle, c.gentle);
  }
}

TEST(ParseArgumentsTest, HelpVersionAndBadUsageSayInOneLineWhatIsWrong) {
  struct Case {
    std::vector<const char*> arguments;
    ParseResult result;
    std::string error;
  };
  const Case cases[] = {
      {{"--windowed", "--help"}, ParseResult::Help, ""},
      {{"/?"}, ParseResult::Help, ""},
      {{"--version", "--windowed"}, ParseResult::Version, ""},
      {{"--help", "--version"}, ParseResult::Help, ""},
      // Bad usage counts beside --help and --version.
      {{"--bogus", "/?"}, ParseResult::Error, "unknown option '--bogus'"},
      {{"--version", "--bogus"}, ParseResult::Error, "unknown option '--bogus'"},
      {{"--help", "---"}, ParseResult::Error, "unknown option '---'"},
      {{"--version", "extra"}, ParseResult::Error, "unexpected argument 'extra'"},
      {{"--help", "--map"}, ParseResult::Error, "option '--map' needs a value"},
      // Names in messages are quoted, their control characters escaped.
      {{"a\nb\x1b[31m\t\xff"}, ParseResult::Error, "unexpected argument 'a\\nb\\x1b[31m\\t\\xff'"},
      {{""}, ParseResult::Error, "unexpected argument ''"},
      {{"--map"}, ParseResult::Error, "option '--map' needs a value"},
      {{"--map", ""}, ParseResult::Error, "option '--map' needs a value"},
      // An empty value after "=" does not take the next argument.
      {{"--texture=", "t.bmp"}, ParseResult::Error, "option '--texture' needs a value"},
      {{"--windowed=yes"}, ParseResult::Error, "option '--windowed' takes no value"},
      {{"--edit=yes"}, ParseResult::Error, "option '--edit' takes no value"},
      {{"--gentle=1"}, ParseResult::Error, "option '--gentle' takes no value"},
      {{"--bogus=1"}, ParseResult::Error, "unknown option '--bogus'"},
      {{"-w"}, ParseResult::Error, "unknown option '-w'"},
      {{"maze.txt"}, ParseResult::Error, "unexpected argument 'maze.txt'"},
      // "--" ends the options.
      {{"--", "--windowed"}, ParseResult::Error, "unexpected argument '--windowed'"},
      {{"--", "/?"}, ParseResult::Error, "unexpected argument '/?'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.arguments));
    LaunchOptions options;
    std::string error;

    EXPECT_EQ(Parse(c.arguments, &options, &error), c.result);

    EXPECT_EQ(error, c.error);
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
  ASSERT_EQ(options.size(), 8u);
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
    ResetProgram();
    offscreen::Get().displayAvailable = false;
  }
  void TearDown() override { ResetProgram(); }

  int Run(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "pathwick");
    return RunProgram(static_cast<int>(arguments.size()), arguments.data(), nullptr, kShowNormal);
  }

  const std::vector<std::pair<NoticeKind, std::string>>& Notices() {
    return offscreen::Get().notices;
  }

  test_files::ScratchDir dir_;
};

TEST_F(RunProgramTest, HelpAndVersionExitWithZeroAndBadUsageWithTwo) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(Run({"--map"}), 2);

  const std::vector<std::pair<NoticeKind, std::string>> expected = {
      {NoticeKind::Info, UsageText(UsageLayout::Console)},
      {NoticeKind::Info, "pathwick " PATHWICK_VERSION "\n"},
      {NoticeKind::Error,
       "option '--map' needs a value\nTry 'pathwick --help' for more information."},
  };
  EXPECT_EQ(Notices(), expected);
  EXPECT_TRUE(offscreen::Get().questions.empty());
}

TEST_F(RunProgramTest, BoxesShowTheBoxLayoutOfTheHelpAndTheTwoLinesOfBadUsage) {
  offscreen::Get().notifiesInBoxes = true;

  EXPECT_EQ(Run({"/?"}), 0);
  EXPECT_EQ(Run({"--bogus"}), 2);

  const std::string boxUsage = UsageText(UsageLayout::Box);
  const std::vector<std::pair<NoticeKind, std::string>> expected = {
      {NoticeKind::Info, boxUsage},
      {NoticeKind::Error, "unknown option '--bogus'\nTry 'pathwick --help' for more information."},
  };
  EXPECT_EQ(Notices(), expected);
}

TEST_F(RunProgramTest, NamedFilesThatCannotBeUsedAreReportedOnceEachWithTheReason) {
  const std::string map = dir_.Write("maze.txt", "1 1 9\n");
  const std::string missing = dir_.PathOf("missing.bmp");
  std::string deep = bmp_fixture::BmpFile(2, 2, std::vector<bmp_fixture::Rgb8>(4));
  deep[28] = 32;  // bits per pixel: 2 x 2 such pixels fill the same 16 bytes
  const std::string texture32 = dir_.Write("deep.bmp", deep);
  const std::string texture24 =
      dir_.Write("stone.bmp", bmp_fixture::BmpFile(2, 2, std::vector<bmp_fixture::Rgb8>(4)));
  test_files::WatchedFifo fifo(dir_.PathOf("fifo.txt"));

  const std::string folder = dir_.PathOf("");

  EXPECT_EQ(Run({"--map", map.c_str(), "--texture", missing.c_str()}), 1);
  // A pipe is read once; this one gives nothing, an empty map.
  EXPECT_EQ(Run({"--map", fifo.path().c_str(), "--texture", texture32.c_str()}), 1);
  EXPECT_EQ(Run({"--map", folder.c_str(), "--texture", texture24.c_str()}), 1);

  const std::vector<std::pair<NoticeKind, std::string>> expected = {
      {NoticeKind::Warning, "cannot use the texture file '" + missing +
                                "': it is missing or not a readable regular file; the walls are "
                                "plain brown"},
      {NoticeKind::Error, "no display (test)"},
      {NoticeKind::Warning, "cannot use the texture file '" + texture32 +
                                "': it has 32 bits per pixel, not 24; the walls are plain brown"},
      {NoticeKind::Error, "no display (test)"},
      {NoticeKind::Warning,
       "cannot read the map file '" + folder + "': it is a directory; every cell stays a wall"},
      {NoticeKind::Error, "no display (test)"},
  };
  EXPECT_EQ(Notices(), expected);
  EXPECT_TRUE(fifo.WasOpenedForReading());
}

// Standard input, standing in for `pathwick-maze | pathwick --map -`: read
// once at start, and Start reloads the map read, not the drained pipe.
TEST_F(RunProgramTest, MapFromStandardInputIsReadOnceAndKeptForStart) {
  const explorer_test::Grid grid =
      explorer_test::WallsWith({{0, 0, Open}, {1, 0, Open}, {2, 0, Exit}});
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const std::string text = explorer_test::MapText(grid);
  ASSERT_EQ(write(pipeEnds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(pipeEnds[1]);
  const int savedInput = dup(STDIN_FILENO);
  dup2(pipeEnds[0], STDIN_FILENO);
  close(pipeEnds[0]);

  EXPECT_EQ(Run({"--map", "-"}), 1);
  dup2(savedInput, STDIN_FILENO);
  close(savedInput);
  std::cin.clear();

  EXPECT_EQ(explorer_test::GridOf(App.Explorer), grid);
  App.Explorer.grid[0] = Trail;
  LoadMapFile();  // what Start does
  EXPECT_EQ(explorer_test::GridOf(App.Explorer), grid);
  EXPECT_EQ(
      Notices(),
      (std::vector<std::pair<NoticeKind, std::string>>{{NoticeKind::Error, "no display (test)"}}));
}

TEST_F(RunProgramTest, DefaultFilesAreReportedOnlyWhenTheCommandLineNamesThem) {
  // The working directory of the tests holds neither MazeMap.txt nor Stone.BMP.
  EXPECT_EQ(Run({}), 1);
  EXPECT_EQ(Run({"--map", "MazeMap.txt", "--texture=Stone.BMP"}), 1);

  const std::vector<std::pair<NoticeKind, std::string>> expected = {
      {NoticeKind::Error, "no display (test)"},
      {NoticeKind::Warning,
       "cannot read the map file 'MazeMap.txt': it does not exist; every cell stays a wall"},
      {NoticeKind::Warning,
       "cannot use the texture file 'Stone.BMP': it is missing or not a readable regular file; "
       "the walls are plain brown"},
      {NoticeKind::Error, "no display (test)"},
  };
  EXPECT_EQ(Notices(), expected);
}

TEST_F(RunProgramTest, EditModeTakesAMapThatDoesNotExistYetWithoutAWarning) {
  const std::string missing = dir_.PathOf("new.txt");
  test_files::WatchedFifo fifo(dir_.PathOf("fifo.txt"));
  // What a program killed while it wrote left behind goes at the start.
  const std::string leftover = dir_.Write("new.txt.partial-x1Y2z3", "");
  std::filesystem::last_write_time(
      leftover, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1));

  EXPECT_EQ(Run({"--edit", "--map", missing.c_str()}), 1);
  EXPECT_TRUE(App.Explorer.editMode);
  EXPECT_FALSE(std::filesystem::exists(leftover));
  // Edits cannot go to standard input or a pipe: bad usage.
  EXPECT_EQ(Run({"--edit", "--map", fifo.path().c_str()}), 2);
  EXPECT_EQ(Run({"--edit", "--map", "-"}), 2);

  const std::vector<std::pair<NoticeKind, std::string>> expected = {
      {NoticeKind::Error, "no display (test)"},
      {NoticeKind::Error, "option '--edit' writes the map to its file, and '" + fifo.path() +
                              "', a pipe, cannot be written: name a map file\n"
                              "Try 'pathwick --help' for more information."},
      {NoticeKind::Error,
       "option '--edit' writes the map to its file, and standard input cannot be written: name a "
       "map file\nTry 'pathwick --help' for more information."},
  };
  EXPECT_EQ(Notices(), expected);
  EXPECT_FALSE(fifo.WasOpenedForReading());
}

}  // namespace
