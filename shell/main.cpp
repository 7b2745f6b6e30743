// Pathwick: a depth-first maze search, animated one tick per frame.
//
// Usage: pathwick [--windowed | --fullscreen] [--map FILE] [--texture FILE]
// With no arguments it asks whether to run full screen and reads
// "MazeMap.txt" and "Stone.BMP" from the working directory.
#include <cstdio>
#include <cstring>

#include "shell/application.h"

namespace {

const char kUsage[] =
    "Usage: pathwick [OPTION]...\n"
    "Animates a depth-first search of the 10 x 10 maze in MazeMap.txt.\n"
    "\n"
    "  --windowed       open the framed 420 x 420 window without asking\n"
    "  --fullscreen     open the full-screen window without asking\n"
    "  --map FILE       read the maze from FILE instead of MazeMap.txt\n"
    "  --texture FILE   read the wall texture from FILE instead of Stone.BMP\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Keys: Return start, Shift pause, Ctrl resume, Up/Down speed, End full speed,\n"
    "F1 about, Escape exit. The exit status is always 1.\n";

enum class ParseResult { Run, Help, Version, Error };

ParseResult ParseArguments(int argc, char** argv, LaunchOptions* options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(arg, "--help") == 0) return ParseResult::Help;
    if (std::strcmp(arg, "--version") == 0) return ParseResult::Version;
    if (std::strcmp(arg, "--windowed") == 0) {
      options->window = WindowChoice::Framed;
    } else if (std::strcmp(arg, "--fullscreen") == 0) {
      options->window = WindowChoice::FullScreen;
    } else if (std::strcmp(arg, "--map") == 0 && hasValue) {
      options->mapFile = argv[++i];
    } else if (std::strcmp(arg, "--texture") == 0 && hasValue) {
      options->textureFile = argv[++i];
    } else {
      std::fprintf(stderr, "pathwick: bad argument '%s'\n", arg);
      return ParseResult::Error;
    }
  }
  return ParseResult::Run;
}

}  // namespace

int main(int argc, char** argv) {
  LaunchOptions options;
  switch (ParseArguments(argc, argv, &options)) {
    case ParseResult::Help:
      std::fputs(kUsage, stdout);
      return 0;
    case ParseResult::Version:
      std::printf("pathwick %s\n", PATHWICK_VERSION);
      return 0;
    case ParseResult::Error:
      std::fputs(kUsage, stderr);
      return 2;
    case ParseResult::Run:
      break;
  }
  return RunApplication(options);
}
