// pathwick-trace: runs the maze search without a display and prints every
// frame, so that a maze can be studied or checked, and the search tested.
//
//   pathwick-trace [--frames N] MAPFILE
//   pathwick-trace --summary [--frames N] MAPFILE...
//
// MAPFILE may be any file that can be read, a pipe as well; "-" is standard
// input.
// One line per frame, fields separated by a TAB:
//   frame state x y heading angle progress depth message
// then a line "grid" and the final grid, row 0 first, as in the map file.
// With --summary: a header line, then one TAB-separated line of figures per
// map, so that mazes can be compared in one command.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "explorer/maze_explorer.h"
#include "shell/text/command_line.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitWriteError = 1;
constexpr int kExitBadInput = 2;  // a map file that cannot be read, as for bad usage
constexpr long long kDefaultFrameLimit = 1000000;

const char kUsage[] =
    "Usage: pathwick-trace [--frames N] MAPFILE\n"
    "   or: pathwick-trace --summary [--frames N] MAPFILE...\n"
    "Runs the maze search of MAPFILE without a display and prints one line per\n"
    "frame (frame state x y heading angle progress depth message, TAB-separated),\n"
    "then the line \"grid\" and the final grid, row 0 first.\n"
    "It stops after the frame that reports the exit found or no exit, or after\n"
    "N frames (default 1000000).\n"
    "MAPFILE may be a pipe; - reads the map from standard input.\n"
    "  --frames N  run at most N frames (N >= 0)\n"
    "  --summary   print no frames: a header line, then one line per map with\n"
    "              map, outcome (exit, no exit, frame limit), frames, cells\n"
    "              entered, dead ends marked, longest way back (the largest\n"
    "              depth), times backed out of a cell\n"
    "  --help      show this help\n"
    "  --version   show the version\n";

// ---------------------------------------------------------------------------
// Command line

constexpr char kProgramName[] = "pathwick-trace";

struct Options {
  long long frameLimit = kDefaultFrameLimit;
  bool summary = false;
  std::vector<std::string> mapFiles;  // exactly one without --summary
};

// Reads the options into `options`; on Error, `problem` says what is wrong.
CommandLine::Result ParseArguments(int argc, char** argv, Options& options, std::string& problem) {
  CommandLine commandLine(kProgramName);
  commandLine.AddNumber("--frames", NumberRange{0, kNoUpperLimit},
                        [&options](long long limit) { options.frameLimit = limit; });
  commandLine.AddFlag("--summary", [&options] { options.summary = true; });
  commandLine.AddVersionFlag();
  commandLine.AddOperands(&options.mapFiles);
  const CommandLine::Result result = commandLine.Parse({argv + 1, argv + argc});
  problem = commandLine.problem();
  if (result == CommandLine::Result::Error) return result;
  // Bad usage counts beside --help and --version too; only the map may be
  // left out then.
  if (!options.summary && options.mapFiles.size() > 1) {
    problem =
        "more than one map file: " + Quoted(options.mapFiles[1]) + " (--summary takes several)";
  } else if (options.mapFiles.empty() && result == CommandLine::Result::Run) {
    problem = "no map file given";
  }
  return problem.empty() ? result : CommandLine::Result::Error;
}

// ---------------------------------------------------------------------------
// Loading

constexpr char kStandardInput[] = "-";

// Reads the map into the explorer, from standard input for "-", otherwise
// from the named file of whatever kind: unlike the desktop program, which
// opens only regular files so that it never blocks at start, the tool reads
// pipes and process substitutions too. False, with the reason on stderr,
// when the map cannot be opened or read.
bool LoadMap(const std::string& mapFile, MazeExplorer& explorer) {
  const bool fromStandardInput = mapFile == kStandardInput;
  const std::string name = fromStandardInput ? "standard input" : Quoted(mapFile);
  std::ifstream file;
  if (!fromStandardInput) {
    errno = 0;
    file.open(mapFile);
    if (!file.is_open()) {
      std::cerr << "pathwick-trace: cannot open " << name << ": " << std::strerror(errno) << '\n';
      return false;
    }
  }
  std::istream& in = fromStandardInput ? std::cin : file;
  errno = 0;
  const int cellCount = explorer.LoadMazeFrom(in);
  if (in.bad()) {  // e.g. a directory: it opens, but reading fails
    std::cerr << "pathwick-trace: cannot read " << name << ": " << std::strerror(errno) << '\n';
    return false;
  }
  if (cellCount < kCellCount) {
    std::cerr << "pathwick-trace: warning: " << name << ": read only " << cellCount << " of "
              << kCellCount << " cells; the other cells stay walls\n";
  }
  return true;
}

// ---------------------------------------------------------------------------
// Running

void PrintFrame(std::ostream& out, long long frame, const MazeExplorer& explorer) {
  const Pose& pose = explorer.pose;
  out << frame << '\t' << explorer.state << '\t' << pose.x << '\t' << pose.y << '\t' << pose.heading
      << '\t' << pose.angle << '\t' << pose.progress << '\t' << explorer.path.size() << '\t'
      << explorer.message << '\n';
}

// One Tick per frame until a frame reports the end of the search or the limit
// is reached; `onFrame(frame)` sees the explorer after each frame's Tick.
// Returns the number of frames run.
template <typename FrameObserver>
long long RunSearch(MazeExplorer& explorer, long long frameLimit, FrameObserver onFrame) {
  explorer.SetPaused(false);
  long long frame = 0;
  while (frame < frameLimit) {
    explorer.Tick();
    onFrame(++frame);
    if (IsEndMessage(explorer.message)) break;
  }
  return frame;
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

// ---------------------------------------------------------------------------
// Summary

enum class Outcome { Exit, NoExit, FrameLimit };

// The figures of one search, as one line of the summary prints them.
struct SearchSummary {
  Outcome outcome = Outcome::FrameLimit;
  long long frames = 0;
  long long cellsEntered = 0;  // forward moves begun, the start cell's re-entry included
  int deadEndsMarked = 0;      // cells the search turned into DeadEnd
  size_t longestWayBack = 0;   // the largest depth, as the trace prints it
  long long backOuts = 0;      // moves back to the previous cell begun
};

const char kSummaryHeader[] =
    "map\toutcome\tframes\tcells entered\tdead ends marked\tlongest way back\tbacked out\n";

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Exit:
      return "exit";
    case Outcome::NoExit:
      return "no exit";
    case Outcome::FrameLimit:
      break;
  }
  return "frame limit";
}

int CountCells(const MazeExplorer& explorer, int code) {
  return static_cast<int>(std::count(std::begin(explorer.grid), std::end(explorer.grid), code));
}

// Runs the search as the trace does, counting instead of printing. Dead ends
// are counted from the grid (a map may hold some already), back-outs from the
// state, so the two figures are found independently.
SearchSummary SummarizeSearch(MazeExplorer& explorer, long long frameLimit) {
  SearchSummary summary;
  const int deadEndsInMap = CountCells(explorer, DeadEnd);
  size_t previousDepth = explorer.path.size();
  ExplorerState previousState = explorer.state;
  summary.longestWayBack = previousDepth;
  summary.frames = RunSearch(explorer, frameLimit, [&](long long) {
    const size_t depth = explorer.path.size();
    if (depth > previousDepth) ++summary.cellsEntered;
    if (explorer.state == Retreating && previousState != Retreating) ++summary.backOuts;
    summary.longestWayBack = std::max(summary.longestWayBack, depth);
    previousDepth = depth;
    previousState = explorer.state;
  });
  if (IsEndMessage(explorer.message)) {
    summary.outcome = explorer.state == FoundExit ? Outcome::Exit : Outcome::NoExit;
  }
  summary.deadEndsMarked = CountCells(explorer, DeadEnd) - deadEndsInMap;
  return summary;
}

void PrintSummaryLine(std::ostream& out, const std::string& mapFile, const SearchSummary& summary) {
  out << mapFile << '\t' << OutcomeName(summary.outcome) << '\t' << summary.frames << '\t'
      << summary.cellsEntered << '\t' << summary.deadEndsMarked << '\t' << summary.longestWayBack
      << '\t' << summary.backOuts << '\n';
}

// The header and one line per map that can be read; a map that cannot is
// reported on stderr and left out, and so is standard input named again,
// since it can be read once. False when any map was left out.
bool PrintSummaries(const Options& options, std::ostream& out) {
  out << kSummaryHeader;
  bool allRead = true;
  bool standardInputRead = false;
  for (const std::string& mapFile : options.mapFiles) {
    if (mapFile == kStandardInput) {
      if (standardInputRead) {
        std::cerr << "pathwick-trace: cannot read standard input twice\n";
        allRead = false;
        continue;
      }
      standardInputRead = true;
    }
    MazeExplorer explorer;
    if (!LoadMap(mapFile, explorer)) {
      allRead = false;
      continue;
    }
    PrintSummaryLine(out, mapFile, SummarizeSearch(explorer, options.frameLimit));
  }
  return allRead;
}

// ---------------------------------------------------------------------------
// Output

int FinishOutput() {
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "pathwick-trace: cannot write the trace: " << std::strerror(errno) << '\n';
    return kExitWriteError;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  // A million lines must not cost a million writes: keep std::cout buffered.
  std::ios::sync_with_stdio(false);

  Options options;
  std::string problem;
  const CommandLine::Result parsed = ParseArguments(argc, argv, options, problem);
  if (parsed == CommandLine::Result::Help) {
    std::cout << kUsage << std::flush;
    return std::cout ? kExitOk : kExitWriteError;
  }
  if (parsed == CommandLine::Result::Version) {
    std::cout << VersionText(kProgramName) << std::flush;
    return std::cout ? kExitOk : kExitWriteError;
  }
  if (parsed != CommandLine::Result::Run) {
    std::cerr << UsageErrorText(kProgramName, problem);
    return kUsageExitCode;
  }

  if (options.summary) {
    const bool allRead = PrintSummaries(options, std::cout);
    const int outputResult = FinishOutput();
    return outputResult != kExitOk ? outputResult : allRead ? kExitOk : kExitBadInput;
  }

  MazeExplorer explorer;  // all cells Wall until the map is read
  if (!LoadMap(options.mapFiles.front(), explorer)) return kExitBadInput;

  RunSearch(explorer, options.frameLimit,
            [&](long long frame) { PrintFrame(std::cout, frame, explorer); });
  PrintGrid(explorer, std::cout);
  return FinishOutput();
}
