// pathwick-trace: runs the maze search without a display and prints every
// frame, so that a maze can be studied or checked, and the search tested.
//
//   pathwick-trace [--frames N] MAPFILE
//
// One line per frame, fields separated by a TAB:
//   frame state x y heading angle progress depth message
// then a line "grid" and the final grid, row 0 first, as in the map file.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "explorer/maze_explorer.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitWriteError = 1;
constexpr int kExitBadInput = 2;  // bad usage, or a map file that cannot be read
constexpr long long kDefaultFrameLimit = 1000000;

const char kUsage[] =
    "Usage: pathwick-trace [--frames N] MAPFILE\n"
    "Runs the maze search of MAPFILE without a display and prints one line per\n"
    "frame (frame state x y heading angle progress depth message, TAB-separated),\n"
    "then the line \"grid\" and the final grid, row 0 first.\n"
    "It stops after the frame that reports the exit found or no exit, or after\n"
    "N frames (default 1000000).\n"
    "  --frames N  run at most N frames (N >= 0)\n"
    "  --help      show this help\n";

// ---------------------------------------------------------------------------
// Command line

struct Options {
  long long frameLimit = kDefaultFrameLimit;
  std::string mapFile;
};

enum class ParseResult { Run, Help, BadUsage };

// A whole non-negative decimal number; false for anything else.
bool ParseFrameLimit(std::string_view text, long long& limit) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, limit);
  return !text.empty() && error == std::errc() && stop == end && limit >= 0;
}

ParseResult ParseArguments(int argc, char** argv, Options& options, std::string& problem) {
  bool haveMapFile = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help") return ParseResult::Help;
    if (arg == "--frames") {
      if (i + 1 == argc) {
        problem = "--frames needs a number";
        return ParseResult::BadUsage;
      }
      if (!ParseFrameLimit(argv[++i], options.frameLimit)) {
        problem = std::string("bad frame count: ") + argv[i];
        return ParseResult::BadUsage;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      problem = std::string("unknown option: ") + argv[i];
      return ParseResult::BadUsage;
    } else if (haveMapFile) {
      problem = std::string("more than one map file: ") + argv[i];
      return ParseResult::BadUsage;
    } else {
      options.mapFile = argv[i];
      haveMapFile = true;
    }
  }
  if (!haveMapFile) {
    problem = "no map file given";
    return ParseResult::BadUsage;
  }
  return ParseResult::Run;
}

// ---------------------------------------------------------------------------
// Loading

// Counts the cells the map file fills, reading it the way LoadMaze does: int
// by int until the first failed extraction, at most one per cell. False, with
// the reason on stderr, when the file cannot be opened or read.
bool CountMapCells(const std::string& mapFile, int& cellCount) {
  errno = 0;
  std::ifstream in(mapFile);
  if (!in.is_open()) {
    std::cerr << "pathwick-trace: cannot open " << mapFile << ": " << std::strerror(errno) << '\n';
    return false;
  }
  cellCount = 0;
  int value;
  while (cellCount < kCellCount && in >> value) ++cellCount;
  if (in.bad()) {  // e.g. a directory: it opens, but reading fails
    std::cerr << "pathwick-trace: cannot read " << mapFile << ": " << std::strerror(errno) << '\n';
    return false;
  }
  return true;
}

bool LoadMap(const std::string& mapFile, MazeExplorer& explorer) {
  int cellCount = 0;
  if (!CountMapCells(mapFile, cellCount)) return false;
  if (cellCount < kCellCount) {
    std::cerr << "pathwick-trace: warning: " << mapFile << ": read only " << cellCount << " of "
              << kCellCount << " cells; the other cells stay walls\n";
  }
  explorer.LoadMaze(mapFile.c_str());
  return true;
}

// ---------------------------------------------------------------------------
// Running

bool IsEndMessage(const char* message) {
  return std::strcmp(message, kFoundExitMessage) == 0 || std::strcmp(message, kNoExitMessage) == 0;
}

void PrintFrame(std::ostream& out, long long frame, const MazeExplorer& explorer) {
  const Pose& pose = explorer.pose;
  out << frame << '\t' << explorer.state << '\t' << pose.x << '\t' << pose.y << '\t' << pose.heading
      << '\t' << pose.angle << '\t' << pose.progress << '\t' << explorer.path.size() << '\t'
      << explorer.message << '\n';
}

// One Tick per frame until a frame reports the end of the search or the limit
// is reached.
void RunSearch(MazeExplorer& explorer, long long frameLimit, std::ostream& out) {
  explorer.SetPaused(false);
  for (long long frame = 1; frame <= frameLimit; ++frame) {
    explorer.Tick();
    PrintFrame(out, frame, explorer);
    if (IsEndMessage(explorer.message)) return;
  }
}

// ---------------------------------------------------------------------------
// Final grid

void PrintGrid(const MazeExplorer& explorer, std::ostream& out) {
  out << "grid\n";
  for (int y = 0; y < kMazeSide; ++y) {
    for (int x = 0; x < kMazeSide; ++x) {
      if (x > 0) out << ' ';
      out << explorer.CellAt(y, x);
    }
    out << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A million lines must not cost a million writes: keep std::cout buffered.
  std::ios::sync_with_stdio(false);

  Options options;
  std::string problem;
  switch (ParseArguments(argc, argv, options, problem)) {
    case ParseResult::Help:
      std::cout << kUsage << std::flush;
      return std::cout ? kExitOk : kExitWriteError;
    case ParseResult::BadUsage:
      std::cerr << "pathwick-trace: " << problem << '\n' << kUsage;
      return kExitBadInput;
    case ParseResult::Run:
      break;
  }

  MazeExplorer explorer;  // all cells Wall until the map is read
  if (!LoadMap(options.mapFile, explorer)) return kExitBadInput;

  RunSearch(explorer, options.frameLimit, std::cout);
  PrintGrid(explorer, std::cout);

  std::cout.flush();
  if (!std::cout) {
    std::cerr << "pathwick-trace: cannot write the trace: " << std::strerror(errno) << '\n';
    return kExitWriteError;
  }
  return kExitOk;
}
