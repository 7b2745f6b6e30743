#include "shell/main/launch.h"

#include <vector>

#include "shell/files/bmp_file.h"
#include "shell/files/data_files.h"
#include "shell/files/file_names.h"
#include "shell/files/read_once.h"
#include "shell/files/safe_replacement.h"
#include "shell/text/command_line.h"

namespace {

// The usage for a console, in the columns that terminals and man pages use.
const char kConsoleUsage[] =
    "Usage: pathwick [OPTION]...\n"
    "Animates a depth-first search of the 10 x 10 maze in MazeMap.txt.\n"
    "\n"
    "  --windowed       open the framed 420 x 420 window without asking\n"
    "  --fullscreen     open the full-screen window without asking\n"
    "  --map FILE       read the maze from FILE instead of MazeMap.txt; with -,\n"
    "                   from standard input (a pipe is read once, too, and kept)\n"
    "  --texture FILE   read the wall texture from FILE instead of Stone.BMP\n"
    "  --edit           draw the maze with the mouse before the search starts: a\n"
    "                   left click turns a wall open, an open cell into an exit and\n"
    "                   an exit into a wall, a right click goes the other way, and\n"
    "                   a drag paints the cells it crosses as the pressed cell\n"
    "                   became; each edit is saved to the map file at once\n"
    "                   (created if missing)\n"
    "  --gentle         spare the processor and the battery: at full speed draw only\n"
    "                   as often as the display refreshes (60 times a second where\n"
    "                   that is not known), and draw nothing and pause the search\n"
    "                   while the window is minimized or hidden\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Keys: Return start, Shift pause, Ctrl resume, Space step to the next\n"
    "decision, Backspace back to the start (with --edit, to drawing), N new maze,\n"
    "Up/Down speed, End full speed, F1 about, Escape exit. The exit status is 1\n"
    "once a window opened.\n";

// The same for a box in a proportional font, where columns of spaces do not
// line up and long lines wrap: short lines, one option or key a line.
const char kBoxUsage[] =
    "Usage: pathwick [options]\n"
    "\n"
    "Animates a depth-first search of\n"
    "the 10 x 10 maze in MazeMap.txt.\n"
    "\n"
    "Options:\n"
    "--windowed: framed window, without asking\n"
    "--fullscreen: full screen, without asking\n"
    "--map FILE: read the maze from FILE\n"
    "(- for standard input)\n"
    "--texture FILE: read the wall texture from FILE\n"
    "--edit: draw the maze with the mouse\n"
    "--gentle: spare the processor: full speed\n"
    "at the display's refresh rate, no drawing\n"
    "while the window is minimized\n"
    "--help or /?: show this help\n"
    "--version: show the version\n"
    "\n"
    "Keys:\n"
    "Return: start\n"
    "Shift: pause\n"
    "Ctrl: resume\n"
    "Space: step to the next decision\n"
    "Backspace: back to the start\n"
    "N: new maze\n"
    "Up, Down: faster, slower\n"
    "End: full speed\n"
    "F1: about\n"
    "Escape: exit\n"
    "\n"
    "With --edit, before the search starts:\n"
    "Left click: wall, open, exit, wall\n"
    "Right click: the other way\n"
    "A drag paints the cells it crosses.\n"
    "Each edit is saved to the map file.\n";

constexpr char kProgramName[] = "pathwick";
constexpr int kHelpExitCode = 0;

// The arguments after the program name, with "/?", which is how Windows
// programs are asked for help, read as --help.
std::vector<std::string> Arguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  for (std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "/?") argument = "--help";
  }
  return arguments;
}

void Warn(const std::string& warning) { PlatformNotify(NoticeKind::Warning, warning.c_str()); }

// Reads the map named on the command line once when it is standard input or
// a pipe: such a map cannot be read again when Start reloads it. One that
// cannot be read is an empty map, as a file that cannot be read is.
void ReadMapOnce(LaunchOptions& options) {
  const char* name = options.mapFile.c_str();
  if (!options.mapFileNamed || !IsReadOnceName(name)) return;
  std::string map;
  std::string reason;
  if (!ReadAllOnce(name, &map, &reason)) {
    Warn("cannot read the map from " + DescribedFileName(name) + ": " + reason +
         "; every cell stays a wall");
  }
  options.mapText = map;
}

// Edits are written to the map file, which standard input and a pipe are not.
std::string EditRefusal(const LaunchOptions& options) {
  if (!options.edit || !options.mapFileNamed || !IsReadOnceName(options.mapFile.c_str())) {
    return "";
  }
  return "option '--edit' writes the map to its file, and " +
         DescribedFileName(options.mapFile.c_str()) +
         (options.mapFile == kStandardInputName ? "" : ", a pipe,") +
         " cannot be written: name a map file";
}

// Warns about each file that the command line named and that cannot be used.
void WarnAboutNamedFiles(const LaunchOptions& options) {
  // In edit mode a map file that does not exist yet is no fault: the first
  // edit creates it.
  const bool mapToCreate = options.edit && !FileExists(options.mapFile.c_str());
  const std::string mapRefusal = ReadRefusal(options.mapFile.c_str());
  if (options.mapFileNamed && !mapToCreate && !mapRefusal.empty()) {
    Warn("cannot read the map file " + Quoted(options.mapFile) + ": " + mapRefusal +
         "; every cell stays a wall");
  }
  if (options.textureFileNamed) {
    const std::string refusal = TextureFileRefusal(options.textureFile.c_str());
    if (!refusal.empty()) Warn(refusal + "; the walls are plain brown");
  }
}

void ChooseMapToEdit(LaunchOptions& options) {
  NoticeLevel level = NoticeLevel::None;
  std::string notice;
  const std::optional<std::string> map = MapFileToEdit(options.mapFile.c_str(), &level, &notice);
  if (level != NoticeLevel::None) {
    PlatformNotify(level == NoticeLevel::Info ? NoticeKind::Info : NoticeKind::Warning,
                   notice.c_str());
  }
  if (map) {
    options.mapFile = *map;
  } else {
    options.edit = false;
  }
}

}  // namespace

const char* UsageText(UsageLayout layout) {
  return layout == UsageLayout::Box ? kBoxUsage : kConsoleUsage;
}

ParseResult ParseArguments(int argc, const char* const* argv, LaunchOptions* options,
                           std::string* error) {
  CommandLine commandLine(kProgramName);
  commandLine.AddVersionFlag();
  commandLine.AddFlag("--windowed", [options] { options->window = WindowChoice::Framed; });
  commandLine.AddFlag("--fullscreen", [options] { options->window = WindowChoice::FullScreen; });
  commandLine.AddFlag("--edit", [options] { options->edit = true; });
  commandLine.AddFlag("--gentle", [options] { options->gentle = true; });
  commandLine.AddValue("--map", [options](const std::string& file) {
    options->mapFile = file;
    options->mapFileNamed = true;
  });
  commandLine.AddValue("--texture", [options](const std::string& file) {
    options->textureFile = file;
    options->textureFileNamed = true;
  });
  const ParseResult result = commandLine.Parse(Arguments(argc, argv));
  *error = commandLine.problem();
  return result;
}

int RunProgram(int argc, const char* const* argv, void* instance, int showCommand) {
  LaunchOptions options;
  options.showCommand = showCommand;
  std::string error;
  const char* usage =
      UsageText(PlatformNotifiesInBoxes() ? UsageLayout::Box : UsageLayout::Console);
  switch (ParseArguments(argc, argv, &options, &error)) {
    case ParseResult::Help:
      PlatformNotify(NoticeKind::Info, usage);
      return kHelpExitCode;
    case ParseResult::Version:
      PlatformNotify(NoticeKind::Info, VersionText(kProgramName).c_str());
      return kHelpExitCode;
    case ParseResult::Error:
      PlatformNotify(NoticeKind::Error, (error + "\n" + TryHelpLine(kProgramName)).c_str());
      return kUsageExitCode;
    case ParseResult::Run:
      break;
  }
  const std::string editRefusal = EditRefusal(options);
  if (!editRefusal.empty()) {
    PlatformNotify(NoticeKind::Error, (editRefusal + "\n" + TryHelpLine(kProgramName)).c_str());
    return kUsageExitCode;
  }
  // Files the command line did not name: the working directory's, or else
  // the ones installed with the program. The maze that edits go to is never
  // an installed one, whatever names it: it is then the user's own copy.
  if (options.edit) ChooseMapToEdit(options);
  if (options.edit) RemoveLeftoverReplacements(options.mapFile.c_str());
  if (!options.mapFileNamed && !options.edit) {
    options.mapFile = FindDataFile(options.mapFile.c_str());
  }
  if (!options.textureFileNamed) options.textureFile = FindDataFile(options.textureFile.c_str());
  WarnAboutNamedFiles(options);
  ReadMapOnce(options);
  App.AppInstance = instance;
  return RunApplication(options);
}
