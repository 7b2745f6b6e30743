// pathwick-record: records a search as an animated GIF. The program itself
// runs on the offscreen platform, drawing into memory with OSMesa, so its
// frames are the program's own, pixel for pixel, with no window and no
// display.
//
//   pathwick-record [OPTIONS] OUTPUT.gif   ("-": standard output)
//
// Frame 1 is the first frame of the running search, as in pathwick-trace.
// The platform's clock is made to advance as if the program drew
// every x 1000 / delay frames a second, the rate at which the recording
// plays the search; the title line shows the figure the program measures at
// that rate (0 during the first second, as in the program).

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "explorer/maze_explorer.h"
#include "shell/app/program_state.h"
#include "shell/files/bmp_file.h"
#include "shell/files/data_files.h"
#include "shell/files/file_names.h"
#include "shell/files/read_once.h"
#include "shell/main/application.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "shell/text/command_line.h"
#include "tools/gif_animation.h"
#include "tools/output_file.h"
#include "ui/frame.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitCannotWrite = 1;
constexpr int kExitBadInput = 2;  // input that cannot be recorded, as for bad usage

constexpr int kDefaultSize = 420;
constexpr int kMaxSide = 4096;
constexpr long long kDefaultEvery = 2;
constexpr int kDefaultDelayMs = 20;
constexpr int kMaxDelayMs = 655350;  // 65535 hundredths of a second
// The last frame stays this long before the recording starts over.
constexpr int kLastFrameHoldMs = 2000;
// The output name that means standard output.
constexpr char kStandardOutput[] = "-";
// Without --to, how far the search may run before the recording gives up.
constexpr long long kSearchFrameLimit = 1000000;

const char kUsage[] =
    "Usage: pathwick-record [OPTIONS] OUTPUT.gif\n"
    "Records a search of the maze as an animated GIF, drawn offscreen by the\n"
    "program's own frame code. Frame 1 is the first frame of the running search.\n"
    "  --map FILE        the maze (default MazeMap.txt); - reads it from standard\n"
    "                    input\n"
    "  --texture FILE    the wall texture (default Stone.BMP)\n"
    "  --size N          the framed window's picture, title line at the top,\n"
    "                    N x N pixels (default 420)\n"
    "  --fullscreen WxH  the full-screen picture, with the key help, W x H pixels\n"
    "  --every N         keep every Nth frame (default 2); the last frame is kept too\n"
    "  --delay MS        show each kept frame for MS milliseconds, a multiple of 10\n"
    "                    (default 20)\n"
    "  --from F          the first frame to keep (default 1)\n"
    "  --to F            the last frame to keep (default, and at most: the first\n"
    "                    frame that shows the end of the search)\n"
    "  --help            show this help\n"
    "  --version         show the version\n"
    "The title line shows the frame rate the program measures when it draws\n"
    "every x 1000 / delay frames a second, the speed the recording plays at.\n"
    "The last frame stays 2 seconds before the recording starts over.\n"
    "An existing OUTPUT.gif stays as it was until the new recording is complete;\n"
    "- as OUTPUT.gif writes the GIF to standard output.\n";

// ---------------------------------------------------------------------------
// Command line

constexpr char kProgramName[] = "pathwick-record";

struct Options {
  // The working directory's, or else the ones installed with the program.
  std::string mapFile = FindDataFile(kDefaultMapFileName);
  // The map read from standard input or a pipe, once (ReadMap).
  std::optional<std::string> mapText;
  std::string textureFile = FindDataFile(kDefaultTextureFileName);
  std::string output;
  int width = kDefaultSize, height = kDefaultSize;
  bool fullScreen = false;
  long long every = kDefaultEvery;
  int delayMs = kDefaultDelayMs;
  long long from = 1;
  long long to = 0;  // 0: the frame that shows the end of the search
};

// "WxH", each side from 1 to kMaxSide.
void ReadScreenSize(const std::string& text, Options& options) {
  const NumberRange side{1, kMaxSide};
  const size_t x = text.find('x');
  long long width = 0, height = 0;
  if (x == std::string::npos || !ParseWholeNumber(text.substr(0, x), side, &width) ||
      !ParseWholeNumber(text.substr(x + 1), side, &height)) {
    throw UsageProblem("option '--fullscreen' takes WxH, each a whole number from 1 to " +
                       std::to_string(kMaxSide) + ", not " + Quoted(text));
  }
  options.width = static_cast<int>(width);
  options.height = static_cast<int>(height);
  options.fullScreen = true;
}

// Reads the options into `options`; on Error, `problem` says what is wrong.
CommandLine::Result ParseArguments(int argc, char** argv, Options& options, std::string& problem) {
  bool sizeGiven = false;
  const auto giveSizeOnce = [&sizeGiven] {
    if (sizeGiven) throw UsageProblem("give one of --size and --fullscreen, once");
    sizeGiven = true;
  };
  std::vector<std::string> outputs;
  CommandLine commandLine(kProgramName);
  commandLine.AddValue("--map", [&options](const std::string& file) { options.mapFile = file; });
  commandLine.AddValue("--texture",
                       [&options](const std::string& file) { options.textureFile = file; });
  commandLine.AddNumber("--size", NumberRange{1, kMaxSide}, [&](long long side) {
    giveSizeOnce();
    options.width = options.height = static_cast<int>(side);
  });
  commandLine.AddValue("--fullscreen", [&](const std::string& size) {
    giveSizeOnce();
    ReadScreenSize(size, options);
  });
  commandLine.AddNumber("--every", NumberRange{1, kNoUpperLimit},
                        [&options](long long every) { options.every = every; });
  // A GIF counts in hundredths of a second.
  commandLine.AddNumber("--delay", NumberRange{10, kMaxDelayMs, 10},
                        [&options](long long delay) { options.delayMs = static_cast<int>(delay); });
  commandLine.AddNumber("--from", NumberRange{1, kNoUpperLimit},
                        [&options](long long from) { options.from = from; });
  commandLine.AddNumber("--to", NumberRange{1, kNoUpperLimit},
                        [&options](long long to) { options.to = to; });
  commandLine.AddVersionFlag();
  commandLine.AddOperands(&outputs);
  const CommandLine::Result result = commandLine.Parse({argv + 1, argv + argc});
  problem = commandLine.problem();
  if (result == CommandLine::Result::Error) return result;
  // Bad usage counts beside --help and --version too; only the output may
  // be left out then.
  if (outputs.size() > 1) {
    problem = "more than one output file: " + Quoted(outputs[1]);
  } else if (options.to != 0 && options.to < options.from) {
    problem = "--to comes before --from";
  } else if (outputs.empty() && result == CommandLine::Result::Run) {
    problem = "no output file given";
  }
  if (!problem.empty()) return CommandLine::Result::Error;
  if (result == CommandLine::Result::Run) options.output = outputs.front();
  return result;
}

// ---------------------------------------------------------------------------
// Input

void Complain(const std::string& text) {
  std::fprintf(stderr, "pathwick-record: %s\n", text.c_str());
}

// A map that ends before its last cell is recorded with walls for the cells
// it lacks, as the program shows it; the warning says so, as the trace's does.
void WarnIfShort(const std::string& mapFile, std::istream& map) {
  MazeExplorer explorer;
  const int cellCount = explorer.LoadMazeFrom(map);
  if (cellCount < kCellCount) {
    Complain("warning: " + Quoted(mapFile) + ": read only " + std::to_string(cellCount) + " of " +
             std::to_string(kCellCount) + " cells; the other cells stay walls");
  }
}

// A regular file is read by the program as it starts; standard input ("-")
// or a pipe is read here, once, and the program gets the map read. Anything
// else is refused with the reason. A short map is warned about either way.
bool ReadMap(Options& options) {
  const char* name = options.mapFile.c_str();
  std::string reason;
  if (IsReadOnceName(name)) {
    std::string map;
    if (ReadAllOnce(name, &map, &reason)) {
      std::istringstream text(map);
      WarnIfShort(options.mapFile, text);
      options.mapText = map;
      return true;
    }
  } else {
    reason = ReadRefusal(name);
    if (reason.empty()) {
      std::ifstream map;
      if (OpenRegularFile(map, name)) WarnIfShort(options.mapFile, map);
      return true;
    }
  }
  Complain("cannot read the map " + DescribedFileName(name) + ": " + reason);
  return false;
}

bool CanReadTexture(const std::string& textureFile) {
  const std::string refusal = TextureFileRefusal(textureFile.c_str());
  if (!refusal.empty()) Complain(refusal);
  return refusal.empty();
}

// The first frame that shows the end of the search (the exit found or no
// exit), found by running the search alone, as the program will; 0 when it
// has not ended within kSearchFrameLimit frames.
long long FrameThatShowsTheEnd(const Options& options) {
  MazeExplorer explorer;
  if (options.mapText) {
    std::istringstream map(*options.mapText);
    explorer.LoadMazeFrom(map);
  } else {
    explorer.LoadMaze(options.mapFile.c_str());
  }
  explorer.SetPaused(false);
  for (long long frame = 1; frame <= kSearchFrameLimit; ++frame) {
    explorer.Tick();
    if (IsEndMessage(explorer.message)) return frame;
  }
  return 0;
}

// Settles the last frame: the first frame that shows the end of the search,
// after which the picture no longer changes, whatever --to says (a note
// says so when it cuts --to short); --to where the search does not end
// within kSearchFrameLimit frames. False, with the problem reported, when
// the search does not end and --to is not given, or ends before --from.
bool ChooseLastFrame(Options& options) {
  const long long end = FrameThatShowsTheEnd(options);
  if (end == 0) {
    if (options.to != 0) return true;
    Complain("the search of " + DescribedFileName(options.mapFile.c_str()) +
             " does not end within " + std::to_string(kSearchFrameLimit) + " frames; give --to");
    return false;
  }
  if (end < options.from) {
    Complain("the search ends in frame " + std::to_string(end) + ", before --from");
    return false;
  }
  if (options.to > end) {
    Complain("note: the search ends in frame " + std::to_string(end) +
             ": the recording ends there, not at --to " + std::to_string(options.to));
  }
  if (options.to == 0 || options.to > end) options.to = end;
  return true;
}

// ---------------------------------------------------------------------------
// Recording

// Runs the program on the offscreen platform and adds the frames to keep to
// the GIF. The frames before --from are stepped without being drawn: the
// explorer takes its tick and the frame loop counts the frame on the clock,
// as when the frame is drawn, so the first frame kept is the one the program
// draws at that point.
class Recorder {
 public:
  Recorder(const Options& options, GifAnimation& gif) : options_(options), gif_(gif) {}

  // Runs the program until the last frame to keep; false when a frame could
  // not be written or the program ran none.
  bool Run() {
    ResetProgramState();
    offscreen::Reset();
    offscreen::Platform& platform = offscreen::Get();
    platform.clientWidth = options_.width;
    platform.clientHeight = options_.height;
    platform.onTick = [this, &platform] { platform.tick = TimeOfNextFrame(); };
    // Ctrl resumes the explorer before the first frame.
    offscreen::QueueMessage(MessageKind::KeyDown, KeyControl);

    LaunchOptions launch;
    launch.window = options_.fullScreen ? WindowChoice::FullScreen : WindowChoice::Framed;
    launch.mapFile = options_.mapFile;
    launch.mapText = options_.mapText;
    launch.textureFile = options_.textureFile;
    launch.frame = RunFrame;
    running_ = this;
    RunApplication(launch);
    running_ = nullptr;
    ResetProgramState();
    offscreen::Reset();
    return ok_ && frame_ >= options_.to;
  }

 private:
  // The frame loop's callback, a plain function: the recorder that runs.
  static int RunFrame(int fps) {
    running_->Frame(fps);
    return fps;
  }

  // Milliseconds since the loop began, as if every frame took delay / every.
  uint32_t TimeOfNextFrame() const {
    return static_cast<uint32_t>(static_cast<unsigned long long>(frame_) * options_.delayMs /
                                 options_.every);
  }

  bool Keeps(long long frame) const {
    return frame >= options_.from && frame <= options_.to &&
           ((frame - options_.from) % options_.every == 0 || frame == options_.to);
  }

  void Frame(int fps) {
    if (!ok_ || frame_ >= options_.to) return;
    ++frame_;
    if (frame_ < options_.from) {
      App.Explorer.Tick();
      return;
    }
    DrawFrame(fps);
    if (Keeps(frame_)) {
      offscreen::ReadPicture(picture_);
      const int delayMs =
          frame_ == options_.to ? std::max(options_.delayMs, kLastFrameHoldMs) : options_.delayMs;
      ok_ = gif_.Add(picture_, delayMs / 10);
    }
    // Escape closes the window before another frame is drawn.
    if (!ok_ || frame_ == options_.to) offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape);
  }

  static Recorder* running_;
  const Options& options_;
  GifAnimation& gif_;
  long long frame_ = 0;
  bool ok_ = true;
  GifAnimation::Pixels picture_;
};

Recorder* Recorder::running_ = nullptr;

// An output name that is not a GIF already is most likely a slip, such as
// the map named without --map: such a file is left alone.
bool MayOverwrite(const std::string& output) {
  if (output == kStandardOutput) return true;
  std::error_code error;
  if (!std::filesystem::is_regular_file(output, error)) return true;
  std::ifstream in(output, std::ios::binary);
  char signature[4] = {};
  in.read(signature, sizeof signature);
  if (in.gcount() == 0 || std::string_view(signature, sizeof signature) == "GIF8") return true;
  Complain("will not overwrite " + Quoted(output) + ", which is not a GIF");
  return false;
}

// A GIF on a terminal would be a screenful of bytes and no recording.
bool OutputIsUsable(const std::string& output) {
  if (output != kStandardOutput || isatty(STDOUT_FILENO) == 0) return true;
  Complain("will not write a GIF to a terminal: redirect standard output, or name a file");
  return false;
}

int Record(Options& options) {
  if (!OutputIsUsable(options.output) || !MayOverwrite(options.output) || !ReadMap(options) ||
      !CanReadTexture(options.textureFile) || !ChooseLastFrame(options)) {
    return kExitBadInput;
  }
  OutputFile output;
  if (!output.Open(options.output)) {
    Complain("cannot write " + Quoted(options.output) + ": " + output.error());
    return kExitCannotWrite;
  }
  GifAnimation gif;
  if (!gif.Open(output.stream(), options.width, options.height)) {
    Complain("cannot write " + Quoted(options.output) + ": " + gif.error());
    return kExitCannotWrite;
  }
  Recorder recorder(options, gif);
  if (!recorder.Run() || !gif.Finish()) {
    const std::string reason = gif.error().empty() ? "the program drew no frame" : gif.error();
    Complain("cannot write " + Quoted(options.output) + ": " + reason);
    return kExitCannotWrite;
  }
  if (!output.Commit()) {
    Complain("cannot write " + Quoted(options.output) + ": " + output.error());
    return kExitCannotWrite;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string problem;
  const CommandLine::Result parsed = ParseArguments(argc, argv, options, problem);
  if (parsed == CommandLine::Result::Help) {
    std::fputs(kUsage, stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitCannotWrite;
  }
  if (parsed == CommandLine::Result::Version) {
    std::fputs(VersionText(kProgramName).c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitCannotWrite;
  }
  if (parsed != CommandLine::Result::Run) {
    std::fputs(UsageErrorText(kProgramName, problem).c_str(), stderr);
    return kUsageExitCode;
  }
  return Record(options);
}
