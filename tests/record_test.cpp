// Tests of pathwick-record: recordings are decoded with giflib and compared,
// pixel for pixel, with the program's frames for the same ticks, drawn here
// offscreen the way the render tests draw them; and its errors.
#include <fcntl.h>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/app/window.h"
#include "shell/main/application.h"
#include "shell/platform/gl.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "tests/bmp_fixture.h"
#include "tests/explorer_fixtures.h"
#include "tests/offscreen_program.h"
#include "tools/gif_animation.h"
#include "ui/commands.h"
#include "ui/frame.h"
#include "ui/viewport.h"

namespace {

using explorer_test::MapText;
using explorer_test::ScratchDir;
using explorer_test::WallsWith;

// 0xRRGGBB pixels, top row first.
using Picture = std::vector<uint32_t>;

// Open start, exit north of it: the search ends in frame 50 and frame 51
// first shows the end message.
const auto kExitNorth = WallsWith({{0, 0, Open}, {0, 1, Exit}});
constexpr int kExitNorthLastFrame = 51;
// Row 0 open to the east, the exit at its end (frame 280 shows the end).
const auto kCorridorEast = WallsWith({{0, 0, Open},
                                      {1, 0, Open},
                                      {2, 0, Open},
                                      {3, 0, Open},
                                      {4, 0, Open},
                                      {5, 0, Open},
                                      {6, 0, Open},
                                      {7, 0, Open},
                                      {8, 0, Open},
                                      {9, 0, Exit}});

std::string DataFile(const char* name) { return std::string(PATHWICK_DATA_DIR) + "/" + name; }

// A 16 x 16 texture of 256 texels that differ in red and green, so that the
// tinted walls show far more than 255 colours.
std::string ColourfulTexture() {
  std::vector<bmp_fixture::Rgb8> texels;
  for (int i = 0; i < 256; ++i) {
    texels.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i * 7 % 256), 0});
  }
  return bmp_fixture::BmpFile(16, 16, texels);
}

struct Layout {
  bool fullScreen;
  int width, height;
};

// The program's frames from 1 to `last`, drawn as the program draws them:
// the window, context, texture and viewport set up as at start, the map
// loaded and the explorer resumed, then one DrawFrame a frame with the figure
// `fpsOf(frame)`. Only the frames in `wanted` are read back.
std::vector<Picture> ProgramFrames(const Layout& layout, const std::string& map,
                                   const std::string& texture, const std::vector<int>& wanted,
                                   const std::function<int(int)>& fpsOf) {
  ResetOpenedProgram();
  offscreen::Get().clientWidth = layout.width;
  offscreen::Get().clientHeight = layout.height;
  CreateWindowFor(layout.fullScreen, kShowNormal);
  EXPECT_EQ(StartRendering(texture.c_str()), 1);
  App.Explorer.LoadMaze(map.c_str());
  App.Explorer.SetPaused(false);

  std::vector<Picture> frames;
  const int last = wanted.empty() ? 0 : wanted.back();
  for (int frame = 1; frame <= last; ++frame) {
    DrawFrame(fpsOf(frame));
    if (std::find(wanted.begin(), wanted.end(), frame) == wanted.end()) continue;
    Picture picture;
    offscreen::ReadPicture(picture);
    frames.push_back(std::move(picture));
  }
  EndApplication();
  ResetProgram();
  return frames;
}

struct Rect {
  int left, top, width, height;
  bool operator==(const Rect& other) const {
    return left == other.left && top == other.top && width == other.width && height == other.height;
  }
};

// What a viewer sees for a while: the picture after an image with a delay,
// with every image of no delay before it painted in.
struct Shown {
  Picture picture;
  int delayCs;
  std::vector<Rect> images;  // the rectangles that the images painted
};

struct Decoded {
  int width = 0, height = 0;
  std::vector<Shown> shown;
  bool loops = false;             // the application extension that loops for ever
  std::vector<bool> localTables;  // for each image, whether it has its own colour table
};

bool HasLoopExtension(const SavedImage& image) {
  for (int i = 0; i + 1 < image.ExtensionBlockCount; ++i) {
    const ExtensionBlock& block = image.ExtensionBlocks[i];
    if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
        std::string(reinterpret_cast<const char*>(block.Bytes), 11) == "NETSCAPE2.0") {
      return true;
    }
  }
  return false;
}

// Decodes the GIF with giflib, painting each image over the last (every image
// is expected to keep what it does not paint: no disposal).
Decoded Decode(const std::string& file) {
  Decoded decoded;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(file.c_str(), &error);
  if (gif == nullptr) {
    ADD_FAILURE() << "cannot open " << file << ": " << GifErrorString(error);
    return decoded;
  }
  if (DGifSlurp(gif) != GIF_OK) {
    ADD_FAILURE() << "cannot decode " << file << ": " << GifErrorString(gif->Error);
    DGifCloseFile(gif, &error);
    return decoded;
  }
  decoded.width = gif->SWidth;
  decoded.height = gif->SHeight;
  Picture canvas(static_cast<size_t>(gif->SWidth) * gif->SHeight, 0xFFFFFFFF);
  std::vector<Rect> images;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    decoded.loops = decoded.loops || HasLoopExtension(image);
    GraphicsControlBlock control{};
    EXPECT_EQ(DGifSavedExtensionToGCB(gif, i, &control), GIF_OK) << "image " << i;
    EXPECT_EQ(control.DisposalMode, DISPOSE_DO_NOT) << "image " << i;
    const GifImageDesc& desc = image.ImageDesc;
    const ColorMapObject* table = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
    for (int y = 0; y < desc.Height; ++y) {
      for (int x = 0; x < desc.Width; ++x) {
        const int index = image.RasterBits[y * desc.Width + x];
        if (index == control.TransparentColor) continue;
        const GifColorType& c = table->Colors[index];
        canvas[static_cast<size_t>(desc.Top + y) * gif->SWidth + desc.Left + x] =
            uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
      }
    }
    images.push_back(Rect{desc.Left, desc.Top, desc.Width, desc.Height});
    decoded.localTables.push_back(desc.ColorMap != nullptr);
    if (control.DelayTime > 0) {
      decoded.shown.push_back(Shown{canvas, control.DelayTime, images});
      images.clear();
    }
  }
  EXPECT_TRUE(images.empty()) << "the last images are shown for no time";
  DGifCloseFile(gif, &error);
  return decoded;
}

// The pictures as a viewer sees them, one for each `delayCs` of time; the
// last, held longer, counts once.
std::vector<const Picture*> Timeline(const Decoded& decoded, int delayCs) {
  std::vector<const Picture*> timeline;
  for (size_t i = 0; i < decoded.shown.size(); ++i) {
    const Shown& shown = decoded.shown[i];
    const bool last = i + 1 == decoded.shown.size();
    if (!last) {
      EXPECT_EQ(shown.delayCs % delayCs, 0) << "picture " << i;
    }
    const int repeats = last ? 1 : shown.delayCs / delayCs;
    for (int r = 0; r < repeats; ++r) timeline.push_back(&shown.picture);
  }
  return timeline;
}

testing::AssertionResult SamePicture(const Picture& recorded, const Picture& program, int width) {
  if (recorded.size() != program.size()) {
    return testing::AssertionFailure() << "size " << recorded.size() << " != " << program.size();
  }
  int wrong = 0;
  std::ostringstream where;
  for (size_t i = 0; i < recorded.size(); ++i) {
    if (recorded[i] == program[i]) continue;
    if (++wrong <= 3) {
      where << " (" << i % width << ", " << i / width << "): " << std::hex << recorded[i]
            << " != " << program[i] << std::dec << ";";
    }
  }
  if (wrong == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << wrong << " pixels differ, top row first:" << where.str();
}

// The bounding rectangle of the pixels that differ, or an empty one.
Rect DifferenceOf(const Picture& before, const Picture& after, int width) {
  int left = width, right = -1, top = -1, bottom = -1;
  for (size_t i = 0; i < after.size(); ++i) {
    if (before[i] == after[i]) continue;
    const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
    left = std::min(left, x);
    right = std::max(right, x);
    if (top < 0) top = y;
    bottom = y;
  }
  if (top < 0) return Rect{0, 0, 0, 0};
  return Rect{left, top, right - left + 1, bottom - top + 1};
}

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct RunResult {
  int exitCode;
  std::string errors;
};

// Runs pathwick-record with `args` (words without quotes or blanks) in
// `directory`.
RunResult RunRecord(const ScratchDir& scratch, const std::string& args,
                    const std::string& directory = "") {
  const std::string errors = scratch.PathOf("stderr.txt");
  std::string command = std::string("'") + PATHWICK_RECORD + "' " + args + " 2>'" + errors + "'";
  if (!directory.empty()) command = "cd '" + directory + "' && " + command;
  const int status = std::system(command.c_str());
  return RunResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(errors)};
}

class RecordTest : public testing::Test {
 protected:
  ScratchDir scratch_;
};

// A pathwick-record process started in the background.
struct Started {
  pid_t pid;
  std::string errorsFile;

  // Waits for it to end: its wait status.
  int Wait() const {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }
  std::string Errors() const { return ReadAll(errorsFile); }
};

// Starts pathwick-record with `args`, its standard output on `output` and its
// errors in a file; `fileSizeLimit`, when not 0, is the largest file in bytes
// that it may write (beyond it writes fail, as on a full disk).
Started StartRecord(const ScratchDir& scratch, const std::vector<std::string>& args, int output,
                    rlim_t fileSizeLimit = 0) {
  const std::string errorsFile = scratch.PathOf("stderr.txt");
  std::vector<char*> argv{const_cast<char*>(PATHWICK_RECORD)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int errors = open(errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(errors, STDERR_FILENO);
    dup2(output, STDOUT_FILENO);
    if (fileSizeLimit != 0) {
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
      signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails instead
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  return Started{pid, errorsFile};
}

// The files of `directory` whose names begin with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& directory,
                                           const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

// Waits until a recording into `directory` has written part of its new file.
bool PartialFileGrows(const std::string& directory, const std::string& prefix) {
  for (int i = 0; i < 2000; ++i) {
    for (const std::string& name : FilesStartingWith(directory, prefix)) {
      std::error_code error;
      if (std::filesystem::file_size(directory + "/" + name, error) > 0) return true;
    }
    usleep(10000);
  }
  return false;
}

// A small tmpfs mounted on `directory` while it lives, when the process may
// mount one (root, and a system that lets it).
class SmallTmpfs {
 public:
  SmallTmpfs(const std::string& directory, const char* size) : directory_(directory) {
    std::filesystem::create_directory(directory_);
    const std::string options = std::string("size=") + size;
    mounted_ =
        geteuid() == 0 && mount("tmpfs", directory_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) why_ = geteuid() == 0 ? std::strerror(errno) : "not root";
  }
  ~SmallTmpfs() {
    if (mounted_) umount(directory_.c_str());
  }
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }

 private:
  std::string directory_;
  bool mounted_ = false;
  std::string why_;
};

// The whole search of a small maze, every frame kept: every picture is the
// program's frame for that tick, each image paints only the rectangle that
// changed, and the last frame is the first to show the end message. Walls of
// one colour make the picture's colours few and the global table small: a
// change of a few colours uses it, a change of one or two takes a smaller
// table of its own, so images alternate between a local table and none
// (which giflib handles with a leak that the sanitizer build would report).
TEST_F(RecordTest, WholeSearchFrameByFrameIsTheProgramsFrames) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  const std::string plain = scratch_.Write(
      "plain.bmp",
      bmp_fixture::BmpFile(16, 16, std::vector<bmp_fixture::Rgb8>(256, {200, 100, 50})));
  struct Case {
    std::string texture;
    int side;
    bool alternatesTables;  // what the texture is there for
  };
  const Case cases[] = {{DataFile("Stone.BMP"), 360, false}, {plain, 120, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.texture);
    const std::string gif = scratch_.PathOf("search.gif");
    const RunResult run =
        RunRecord(scratch_, "--map " + map + " --texture " + c.texture + " --size " +
                                std::to_string(c.side) + " --every 1 --delay 20 " + gif);
    ASSERT_EQ(run.exitCode, 0) << run.errors;

    const Decoded decoded = Decode(gif);
    EXPECT_EQ(decoded.width, c.side);
    EXPECT_EQ(decoded.height, c.side);
    EXPECT_TRUE(decoded.loops);
    const std::vector<const Picture*> timeline = Timeline(decoded, 2);
    ASSERT_EQ(timeline.size(), size_t{kExitNorthLastFrame});
    EXPECT_EQ(decoded.shown.back().delayCs, 200) << "the end is held for 2 seconds";

    std::vector<int> wanted;
    for (int frame = 1; frame <= kExitNorthLastFrame; ++frame) wanted.push_back(frame);
    // 20 ms a frame: the first measurement closes after 1000 ms, in frame 52.
    const std::vector<Picture> program =
        ProgramFrames({false, c.side, c.side}, map, c.texture, wanted, [](int) { return 0; });
    for (int frame = 1; frame <= kExitNorthLastFrame; ++frame) {
      EXPECT_TRUE(SamePicture(*timeline[frame - 1], program[frame - 1], c.side))
          << "frame " << frame;
    }

    for (size_t i = 1; i < decoded.shown.size(); ++i) {
      const Shown& shown = decoded.shown[i];
      ASSERT_EQ(shown.images.size(), 1u) << "one image for picture " << i;
      EXPECT_EQ(shown.images[0], DifferenceOf(decoded.shown[i - 1].picture, shown.picture, c.side))
          << "picture " << i;
    }
    const std::vector<bool>& local = decoded.localTables;
    bool alternates = false;
    for (size_t i = 1; i < local.size(); ++i)
      alternates = alternates || (local[i - 1] && !local[i]);
    if (c.alternatesTables) {
      EXPECT_TRUE(alternates) << "no image without a table follows one with";
    }
  }
}

// Every 4th frame from frame 3, full screen. At 20 ms for 4 frames the
// program draws a frame each 5 ms: frames 1 to 201 fall within the first
// 1000 ms, and frame 202, at 1005 ms, shows 201 * 1000 / 1005 = 200.
TEST_F(RecordTest, KeptFramesOfARangeShowTheFigureOfTheirPlaybackRate) {
  const std::string map = scratch_.Write("maze.txt", MapText(kCorridorEast));
  const std::string texture = DataFile("Stone.BMP");
  const std::string gif = scratch_.PathOf("range.gif");
  const RunResult run = RunRecord(
      scratch_, "--map=" + map + " --texture=" + texture +
                    " --fullscreen 400x300 --every 4 --delay 20 --from 3 --to 210 " + gif);
  ASSERT_EQ(run.exitCode, 0) << run.errors;

  std::vector<int> wanted;
  for (int frame = 3; frame <= 210; frame += 4) wanted.push_back(frame);
  wanted.push_back(210);  // the last frame is kept whatever the step
  const Decoded decoded = Decode(gif);
  const std::vector<const Picture*> timeline = Timeline(decoded, 2);
  ASSERT_EQ(timeline.size(), wanted.size());
  const std::vector<Picture> program = ProgramFrames(
      {true, 400, 300}, map, texture, wanted, [](int frame) { return frame < 202 ? 0 : 200; });
  for (size_t i = 0; i < wanted.size(); ++i) {
    EXPECT_TRUE(SamePicture(*timeline[i], program[i], 400)) << "frame " << wanted[i];
  }
}

// Walls of more colours than one GIF colour table holds: the first picture
// is painted in parts of at most 255 colours, all but the last shown for no
// time, and the recording stays exact.
TEST_F(RecordTest, PicturesOfManyColoursStayExact) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  const std::string texture = scratch_.Write("colourful.bmp", ColourfulTexture());
  const std::string gif = scratch_.PathOf("colourful.gif");
  const RunResult run = RunRecord(scratch_, "--map " + map + " --texture " + texture +
                                                " --size 360 --every 1 --delay 30 --to 3 " + gif);
  ASSERT_EQ(run.exitCode, 0) << run.errors;

  const std::vector<Picture> program =
      ProgramFrames({false, 360, 360}, map, texture, {1, 2, 3}, [](int) { return 0; });
  const std::set<uint32_t> colours(program[0].begin(), program[0].end());
  ASSERT_GT(colours.size(), 255u) << "the texture must give more colours than a table holds";
  const Decoded decoded = Decode(gif);
  ASSERT_FALSE(decoded.shown.empty());
  EXPECT_GT(decoded.shown[0].images.size(), 1u);
  const std::vector<const Picture*> timeline = Timeline(decoded, 3);
  ASSERT_EQ(timeline.size(), 3u);
  for (int frame = 1; frame <= 3; ++frame) {
    EXPECT_TRUE(SamePicture(*timeline[frame - 1], program[frame - 1], 360)) << "frame " << frame;
  }
}

// Frames before --from are stepped without being drawn. The slow way draws
// every frame from 1: a recording from frame 1 whose kept frames include
// those of the fast one. Its pictures from --from on, encoded again as the
// recorder encodes, must give the fast recording byte for byte. Every third
// frame at 20 ms makes 150 frames a second: by frame 301 the title line
// shows a figure, which the fast way must have counted to.
TEST_F(RecordTest, RecordingFromTheMiddleIsTheSlowRecordingsTail) {
  constexpr int kEvery = 3, kFrom = 301, kTo = 401, kSide = 120;
  const std::string files = "--map " + DataFile("MazeMap.txt") + " --texture " +
                            DataFile("Stone.BMP") + " --size " + std::to_string(kSide) +
                            " --every " + std::to_string(kEvery) + " --delay 20 --to " +
                            std::to_string(kTo) + " ";
  const std::string slow = scratch_.PathOf("slow.gif"), fast = scratch_.PathOf("fast.gif");
  RunResult run = RunRecord(scratch_, files + slow);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  run = RunRecord(scratch_, files + "--from " + std::to_string(kFrom) + " " + fast);
  ASSERT_EQ(run.exitCode, 0) << run.errors;

  const Decoded decoded = Decode(slow);
  const std::vector<const Picture*> timeline = Timeline(decoded, 2);
  const size_t first = (kFrom - 1) / kEvery;
  ASSERT_EQ(timeline.size(), first + (kTo - kFrom) / kEvery + 2);
  const std::string expected = scratch_.PathOf("expected.gif");
  std::FILE* stream = std::fopen(expected.c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  GifAnimation gif;
  ASSERT_TRUE(gif.Open(stream, kSide, kSide)) << gif.error();
  for (size_t i = first; i < timeline.size(); ++i) {
    ASSERT_TRUE(gif.Add(*timeline[i], i + 1 == timeline.size() ? 200 : 2)) << gif.error();
  }
  ASSERT_TRUE(gif.Finish()) << gif.error();
  ASSERT_EQ(std::fclose(stream), 0);
  EXPECT_TRUE(ReadAll(fast) == ReadAll(expected)) << "the fast recording differs";
  EXPECT_NE(*timeline[first], *timeline[first - 1]) << "the search moves at --from";
}

// `pathwick-maze | pathwick-record --map - ...`: the map read once from
// standard input, by the tool and by the program it runs, records what the
// same map in a file records.
TEST_F(RecordTest, MapFromStandardInputRecordsAsTheFileDoes) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  const std::string texture = DataFile("Stone.BMP");
  const std::string options = " --texture " + texture + " --size 60 --every 10 ";
  const std::string fromFile = scratch_.PathOf("file.gif");
  const std::string fromInput = scratch_.PathOf("input.gif");
  ASSERT_EQ(RunRecord(scratch_, "--map " + map + options + fromFile).exitCode, 0);
  const RunResult run = RunRecord(scratch_, "--map -" + options + fromInput + " <'" + map + "'");
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(ReadAll(fromInput), ReadAll(fromFile));
}

TEST_F(RecordTest, BadUsageAndInputThatCannotBeRecordedExit2WithTheReason) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  // The explorer rocks in front of the marker and never ends its search.
  const std::string endless =
      scratch_.Write("endless.txt", MapText(WallsWith({{0, 0, Open}, {1, 0, Marker}})));
  const std::string texture = DataFile("Stone.BMP");
  const std::string files = " --map " + map + " --texture " + texture + " ";
  const std::string out = scratch_.PathOf("out.gif");
  // Bad usage: one line saying what is wrong, one pointing to --help.
  struct UsageCase {
    std::string args;
    std::string problem;
  };
  const UsageCase usageCases[] = {
      {"", "no output file given"},
      {"--bogus " + out, "unknown option '--bogus'"},
      {"--size", "option '--size' needs a value"},
      {"--size= " + out, "option '--size' needs a value"},
      {files + "--size 0 " + out, "option '--size' takes a whole number from 1 to 4096, not '0'"},
      {files + "--size=12x " + out,
       "option '--size' takes a whole number from 1 to 4096, not '12x'"},
      {files + "--fullscreen 800 " + out,
       "option '--fullscreen' takes WxH, each a whole number from 1 to 4096, not '800'"},
      {files + "--fullscreen=800x0 " + out,
       "option '--fullscreen' takes WxH, each a whole number from 1 to 4096, not '800x0'"},
      {files + "--size 300 --fullscreen 640x480 " + out,
       "give one of --size and --fullscreen, once"},
      {files + "--every 0 " + out, "option '--every' takes a whole number from 1 up, not '0'"},
      {files + "--delay 15 " + out,
       "option '--delay' takes a multiple of 10 from 10 to 655350, not '15'"},
      {files + "--from -1 " + out, "option '--from' takes a whole number from 1 up, not '-1'"},
      {files + "--from 10 --to 5 " + out, "--to comes before --from"},
      {files + out + " - ", "more than one output file: '-'"},
  };
  for (const UsageCase& c : usageCases) {
    SCOPED_TRACE(c.args);
    const RunResult run = RunRecord(scratch_, c.args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.errors, "pathwick-record: " + c.problem +
                              "\nTry 'pathwick-record --help' for more information.\n");
  }
  // Input that cannot be recorded.
  struct Case {
    std::string args;
    std::string says;
  };
  const Case cases[] = {
      {files + "--from 60 " + out, "ends in frame 51, before --from"},
      {files + "--from 60 --to 70 " + out, "ends in frame 51, before --from"},
      {"--texture " + texture + " --map " + endless + " " + out, "does not end within"},
      {"--texture " + texture + " --map " + scratch_.PathOf("none.txt") + " " + out,
       "cannot read the map"},
      {"--texture " + texture + " --map " + scratch_.PathOf("") + " " + out, "it is a directory"},
      {"--map " + map + " --texture " + map + " " + out,
       "cannot use the texture file '" + map + "': it is not a BMP file"},
      // The map given as the output, --map forgotten.
      {"--texture " + texture + " " + map, "will not overwrite"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult run = RunRecord(scratch_, c.args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.errors.rfind("pathwick-record: ", 0), 0u) << run.errors;
    EXPECT_NE(run.errors.find(c.says), std::string::npos) << run.errors;
  }
  EXPECT_EQ(ReadAll(map), MapText(kExitNorth));
  // The program's file names, in the working directory, by default.
  const RunResult run = RunRecord(scratch_, "out.gif", scratch_.PathOf(""));
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.errors.find("cannot read the map 'MazeMap.txt'"), std::string::npos) << run.errors;
}

TEST_F(RecordTest, OutputThatCannotBeWrittenExits1) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  const std::string files = " --map " + map + " --texture " + DataFile("Stone.BMP") + " ";
  struct Case {
    std::string output;
    const char* says;
  };
  const Case cases[] = {
      {scratch_.PathOf("no-such-folder/out.gif"), "No such file or directory"},
      {scratch_.PathOf(""), "Is a directory"},
      {"/dev/full", "No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const RunResult run = RunRecord(scratch_, files + "--to 3 " + c.output);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("pathwick-record: cannot write '" + c.output + "'"),
              std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find(c.says), std::string::npos) << run.errors;
  }
}

// A recording never destroys the file it replaces: killed mid-way, or
// failing to write on a full file system, it leaves the old recording byte
// for byte. Only SIGKILL, which nothing can catch, leaves the new file behind,
// named after the output.
TEST_F(RecordTest, FailedRecordingLeavesTheOldFileIntact) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  const std::string shipped = "--map=" + DataFile("MazeMap.txt");
  const std::string texture = "--texture=" + DataFile("Stone.BMP");
  const std::string tmpfsDir = scratch_.PathOf("small");
  const SmallTmpfs tmpfs(tmpfsDir, "64k");
  struct Case {
    const char* what;
    std::string directory;
    int signal;  // sent once the new file has grown; 0: none
    rlim_t fileSizeLimit;
    const char* says;  // for a failure to write
  };
  const Case cases[] = {
      {"SIGTERM", scratch_.PathOf(""), SIGTERM, 0, nullptr},
      {"SIGINT", scratch_.PathOf(""), SIGINT, 0, nullptr},
      {"SIGHUP", scratch_.PathOf(""), SIGHUP, 0, nullptr},
      {"SIGKILL", scratch_.PathOf(""), SIGKILL, 0, nullptr},
      {"file size limit", scratch_.PathOf(""), 0, 16384, "File too large"},
      {"full tmpfs", tmpfsDir, 0, 0, "No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.directory == tmpfsDir && !tmpfs.mounted()) {
      std::printf("[  SKIPPED ] %s: cannot mount a tmpfs (%s)\n", c.what, tmpfs.why().c_str());
      continue;
    }
    const std::string old = c.directory + "/keep.gif";
    ASSERT_EQ(
        RunRecord(scratch_, "--map " + map + " " + texture + " --size 120 --to 3 " + old).exitCode,
        0);
    const std::string oldBytes = ReadAll(old);
    const Started started =
        StartRecord(scratch_, {shipped, texture, "--every=1", old}, STDOUT_FILENO, c.fileSizeLimit);
    if (c.signal != 0) {
      EXPECT_TRUE(PartialFileGrows(c.directory, "keep.gif.partial-"));
      kill(started.pid, c.signal);
    }
    const int status = started.Wait();
    if (c.signal != 0) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
      EXPECT_NE(started.Errors().find("cannot write '" + old + "': " + c.says), std::string::npos)
          << started.Errors();
    }
    EXPECT_TRUE(ReadAll(old) == oldBytes) << "the old recording changed";
    const std::vector<std::string> left = FilesStartingWith(c.directory, "keep.gif.partial-");
    EXPECT_EQ(left.size(), c.signal == SIGKILL ? 1u : 0u);
    for (const std::string& name : left) std::filesystem::remove(c.directory + "/" + name);
    std::filesystem::remove(old);
  }
}

// A complete recording takes the old one's place, keeping its mode; a new
// file gets the mode the umask gives.
TEST_F(RecordTest, CompleteRecordingReplacesTheOldFileAndKeepsItsMode) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  const std::string files = "--map " + map + " --texture " + DataFile("Stone.BMP") + " --to 3 ";
  const std::string kept = scratch_.PathOf("kept.gif"), fresh = scratch_.PathOf("fresh.gif");
  ASSERT_EQ(RunRecord(scratch_, files + "--size 100 " + kept).exitCode, 0);
  ASSERT_EQ(chmod(kept.c_str(), 0604), 0);
  const std::string oldBytes = ReadAll(kept);
  RunResult run = RunRecord(scratch_, files + "--size 120 " + kept);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(Decode(kept).width, 120);
  EXPECT_EQ(std::filesystem::status(kept).permissions(), std::filesystem::perms(0604));

  const mode_t umaskBefore = umask(027);
  run = RunRecord(scratch_, files + fresh);
  umask(umaskBefore);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(std::filesystem::status(fresh).permissions(), std::filesystem::perms(0640));
  EXPECT_TRUE(FilesStartingWith(scratch_.PathOf(""), "kept.gif.partial-").empty());
}

// The picture stops changing where the search ends: a --to beyond it ends
// the recording there, as without --to, and says so.
TEST_F(RecordTest, ToPastTheEndOfTheSearchIsCutThereWithANote) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  const std::string files = "--map " + map + " --texture " + DataFile("Stone.BMP") + " --size 60 ";
  const std::string whole = scratch_.PathOf("whole.gif"), cut = scratch_.PathOf("cut.gif");
  ASSERT_EQ(RunRecord(scratch_, files + whole).exitCode, 0);

  const RunResult run = RunRecord(scratch_, files + "--to 9223372036854775807 " + cut);

  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.errors,
            "pathwick-record: note: the search ends in frame 51: the recording ends there, not "
            "at --to 9223372036854775807\n");
  EXPECT_TRUE(ReadAll(cut) == ReadAll(whole));
}

// A map that ends early is recorded with walls for the cells it lacks, and
// the warning says how many it held, as the trace's does.
TEST_F(RecordTest, ShortMapIsRecordedWithAWarning) {
  const std::string map = scratch_.Write("short.txt", "1 9\n");
  const RunResult run = RunRecord(scratch_, "--map " + map + " --texture " + DataFile("Stone.BMP") +
                                                " --size 60 " + scratch_.PathOf("short.gif"));

  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.errors, "pathwick-record: warning: '" + map +
                            "': read only 2 of 100 cells; the other cells stay walls\n");
}

// A recording that a rename would not only replace is left alone: a
// read-only one (also for root, whom its mode would not stop from writing
// it and a rename would let replace it), and one with other hard links.
TEST_F(RecordTest, OutputThatARenameWouldChangeIsLeftAloneWithTheReason) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  const std::string files = "--map " + map + " --texture " + DataFile("Stone.BMP") + " --to 3 ";
  const std::string kept = scratch_.PathOf("kept.gif");
  const std::string linked = scratch_.PathOf("linked.gif");
  ASSERT_EQ(RunRecord(scratch_, files + "--size 100 " + kept).exitCode, 0);
  ASSERT_EQ(RunRecord(scratch_, files + "--size 100 " + linked).exitCode, 0);
  ASSERT_EQ(chmod(kept.c_str(), 0444), 0);
  std::filesystem::create_hard_link(linked, scratch_.PathOf("second-name.gif"));
  struct Case {
    std::string output;
    const char* reason;
  };
  for (const Case& c :
       {Case{kept, "the file is read-only"}, Case{linked, "the file has other hard links"}}) {
    SCOPED_TRACE(c.output);
    const std::string oldBytes = ReadAll(c.output);

    const RunResult run = RunRecord(scratch_, files + "--size 120 " + c.output);

    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("cannot write '" + c.output + "': " + c.reason), std::string::npos)
        << run.errors;
    EXPECT_TRUE(ReadAll(c.output) == oldBytes) << "the recording changed";
  }
  EXPECT_TRUE(FilesStartingWith(scratch_.PathOf(""), "kept.gif.partial-").empty());
  EXPECT_TRUE(FilesStartingWith(scratch_.PathOf(""), "linked.gif.partial-").empty());
}

// A link is followed to its target, which a recording creates when it does
// not exist yet; the link stays.
TEST_F(RecordTest, DanglingLinkGetsItsTargetCreated) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  std::filesystem::create_directories(scratch_.PathOf("a"));
  std::filesystem::create_directories(scratch_.PathOf("b"));
  std::filesystem::create_symlink("../b/none.gif", scratch_.PathOf("a/dangle.gif"));

  const RunResult run = RunRecord(scratch_, "--map " + map + " --texture " + DataFile("Stone.BMP") +
                                                " --to 3 " + scratch_.PathOf("a/dangle.gif"));

  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_TRUE(std::filesystem::is_symlink(scratch_.PathOf("a/dangle.gif")));
  EXPECT_EQ(Decode(scratch_.PathOf("b/none.gif")).width, 420);
}

TEST_F(RecordTest, StandardOutputAndFifoGetTheFilesBytes) {
  const std::string map = scratch_.Write("maze.txt", MapText(kExitNorth));
  const std::vector<std::string> files = {"--map=" + map, "--texture=" + DataFile("Stone.BMP"),
                                          "--size=120", "--to=20"};
  const std::string file = scratch_.PathOf("file.gif");
  std::string args;
  for (const std::string& arg : files) args += arg + " ";
  ASSERT_EQ(RunRecord(scratch_, args + file).exitCode, 0);
  const std::string expected = ReadAll(file);
  ASSERT_EQ(expected.substr(0, 4), "GIF8");

  const std::string fifo = scratch_.PathOf("fifo.gif");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& output : {std::string("-"), fifo}) {
    SCOPED_TRACE(output);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    std::vector<std::string> args2 = files;
    args2.push_back(output);
    const Started started = StartRecord(scratch_, args2, pipeFds[1]);
    close(pipeFds[1]);
    const int readFd = output == "-" ? pipeFds[0] : open(fifo.c_str(), O_RDONLY);
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = read(readFd, buffer, sizeof buffer)) > 0;) got.append(buffer, n);
    if (readFd != pipeFds[0]) close(readFd);
    close(pipeFds[0]);
    const int status = started.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << started.Errors();
    EXPECT_TRUE(got == expected) << got.size() << " bytes, not " << expected.size();
  }

  int terminal = -1, device = -1;
  ASSERT_EQ(openpty(&terminal, &device, nullptr, nullptr, nullptr), 0);
  std::vector<std::string> args3 = files;
  args3.push_back("-");
  const Started started = StartRecord(scratch_, args3, device);
  close(device);
  const int status = started.Wait();
  close(terminal);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
  EXPECT_NE(started.Errors().find("pathwick-record: will not write a GIF to a terminal"),
            std::string::npos)
      << started.Errors();
}

TEST_F(RecordTest, HelpGoesToStandardOutput) {
  const std::string out = scratch_.PathOf("help.txt");
  const RunResult run = RunRecord(scratch_, "--help >'" + out + "'");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.errors, "");
  std::ifstream in(out);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "Usage: pathwick-record [OPTIONS] OUTPUT.gif");
}

}  // namespace
