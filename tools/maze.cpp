// pathwick-maze: writes a new random maze as a map file, for the program to
// search or to draw on.
//
//   pathwick-maze [--exits N] [--loops N] [--seed N] [OUTPUT]
//
// Without OUTPUT, or with "-", the map goes to standard output. A file is
// replaced as the program's map writer replaces it: it holds the old map until
// the new one is complete. A pipe or a device (/dev/stdout, a FIFO), which no
// rename can replace, is written directly. The same seed makes the same maze on every system;
// without --seed the seed comes from the clock and is printed on stderr, so
// that a maze can be made again.

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "explorer/maze_explorer.h"
#include "explorer/maze_generator.h"
#include "shell/files/file_names.h"
#include "shell/files/safe_replacement.h"
#include "shell/text/command_line.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitCannotWrite = 1;

constexpr char kProgramName[] = "pathwick-maze";
// The output name that means standard output.
constexpr char kStandardOutput[] = "-";

// The help names the limits of --exits and --loops.
static_assert(kMaxExits == 5 && kMaxLoops == 8, "the help text must name the new limits");
const char kUsage[] =
    "Usage: pathwick-maze [OPTION]... [OUTPUT]\n"
    "Writes a new random 10 x 10 maze as a map file, in the format of MazeMap.txt,\n"
    "to OUTPUT, or to standard output without OUTPUT or with -. Every open cell\n"
    "can be reached from the start cell, column 0, row 0.\n"
    "\n"
    "  --exits N   make N exits, from 0 (no way out) to 5 (default 1): the\n"
    "              dead ends farthest from the start become exits\n"
    "  --loops N   knock out N walls between corridors, from 0 to 8 (default 0),\n"
    "              each making one more way round\n"
    "  --seed N    make the maze of seed N, a whole number from 0 to\n"
    "              9223372036854775807 (2^63 - 1): the same seed with the same\n"
    "              --exits and --loops makes the same maze (with other numbers,\n"
    "              it may be another maze); without --seed the seed comes from\n"
    "              the clock and is printed on standard error, so that the maze\n"
    "              can be made again\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "An existing OUTPUT keeps its old map until the new one is written in full.\n";

struct Options {
  MazeRequest request;
  bool seedGiven = false;
  std::string output = kStandardOutput;
};

// Reads the options into `options`; on Error, `problem` says what is wrong.
CommandLine::Result ParseArguments(const std::vector<std::string>& arguments, Options& options,
                                   std::string& problem) {
  std::vector<std::string> outputs;
  CommandLine commandLine(kProgramName);
  commandLine.AddVersionFlag();
  commandLine.AddNumber("--exits", NumberRange{0, kMaxExits}, [&options](long long exits) {
    options.request.exits = static_cast<int>(exits);
  });
  commandLine.AddNumber("--loops", NumberRange{0, kMaxLoops}, [&options](long long loops) {
    options.request.loops = static_cast<int>(loops);
  });
  static_assert(kLargestSeed == static_cast<uint64_t>(kNoUpperLimit), "--seed takes every seed");
  commandLine.AddNumber("--seed", NumberRange{0, kNoUpperLimit, 1, true},
                        [&options](long long seed) {
                          options.request.seed = static_cast<uint64_t>(seed);
                          options.seedGiven = true;
                        });
  commandLine.AddOperands(&outputs);
  const CommandLine::Result result = commandLine.Parse(arguments);
  problem = commandLine.problem();
  if (result == CommandLine::Result::Error) return result;
  // Bad usage counts beside --help and --version too.
  if (outputs.size() > 1) {
    problem = "more than one output file: " + Quoted(outputs[1]);
    return CommandLine::Result::Error;
  }
  if (!outputs.empty()) options.output = outputs.front();
  return result;
}

// Writes `text` to standard output as it is: on Windows the map's CR LF line
// ends must not gain a second CR.
bool WriteToStandardOutput(const std::string& text) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

#ifdef _WIN32
std::filesystem::path PathFromUtf8(const std::string& name) { return WideFromUtf8(name.c_str()); }
std::FILE* OpenForWriting(const std::string& name) {
  return _wfopen(WideFromUtf8(name.c_str()).c_str(), L"wb");
}
#else
std::filesystem::path PathFromUtf8(const std::string& name) { return name; }
std::FILE* OpenForWriting(const std::string& name) { return std::fopen(name.c_str(), "wb"); }
#endif

// Whether `name` (links followed) exists and is neither a regular file nor a
// folder: a pipe or a device, written directly.
bool IsStream(const std::string& name) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(name), error);
  return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
         !std::filesystem::is_directory(status);
}

// Writes `text` into the pipe or device `name`. False, with the reason in
// `error`, when it cannot.
bool WriteDirectly(const std::string& name, const std::string& text, std::string* error) {
  errno = 0;
  std::FILE* stream = OpenForWriting(name);
  bool written = stream != nullptr;
  if (written) {
    written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    written = std::fclose(stream) == 0 && written;
  }
  if (!written) *error = errno != 0 ? std::strerror(errno) : "write error";
  return written;
}

int WriteMaze(const Options& options, const std::string& map) {
  if (options.output == kStandardOutput) {
    if (WriteToStandardOutput(map)) return kExitOk;
    std::fprintf(stderr, "%s: cannot write the maze to standard output\n", kProgramName);
    return kExitCannotWrite;
  }
  std::string error;
  const bool written = IsStream(options.output)
                           ? WriteDirectly(options.output, map, &error)
                           : ReplaceFileContents(options.output.c_str(), map, &error);
  if (written) return kExitOk;
  std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgramName, Quoted(options.output).c_str(),
               error.c_str());
  return kExitCannotWrite;
}

int Run(const std::vector<std::string>& arguments) {
  Options options;
  std::string problem;
  switch (ParseArguments(arguments, options, problem)) {
    case CommandLine::Result::Help:
      return WriteToStandardOutput(kUsage) ? kExitOk : kExitCannotWrite;
    case CommandLine::Result::Version:
      return WriteToStandardOutput(VersionText(kProgramName)) ? kExitOk : kExitCannotWrite;
    case CommandLine::Result::Error:
      std::fputs(UsageErrorText(kProgramName, problem).c_str(), stderr);
      return kUsageExitCode;
    case CommandLine::Result::Run:
      break;
  }
  if (!options.seedGiven) {
    options.request.seed = SeedFromClock();
    const std::string seedLine =
        std::string(kProgramName) + ": seed " + std::to_string(options.request.seed) + "\n";
    std::fputs(seedLine.c_str(), stderr);
  }
  int32_t grid[kCellCount];
  if (!GenerateMaze(options.request, grid)) {
    const std::string failure = std::string(kProgramName) + ": no maze of seed " +
                                std::to_string(options.request.seed) + " holds " +
                                std::to_string(options.request.exits) + " exits and " +
                                std::to_string(options.request.loops) + " loops\n";
    std::fputs(failure.c_str(), stderr);
    return kExitCannotWrite;
  }
  return WriteMaze(options, MapFileText(grid));
}

}  // namespace

#ifdef _WIN32
// The arguments arrive as UTF-16, so that any file name can be given; the
// program works in UTF-8, as the file-name functions take it.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(Utf8FromWide(argv[i]));
  return Run(arguments);
}
#else
int main(int argc, char** argv) { return Run({argv + 1, argv + argc}); }
#endif
