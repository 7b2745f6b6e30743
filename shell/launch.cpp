#include "shell/launch.h"

#include <cstring>
#include <fstream>

#include "shell/file_names.h"

namespace {

// The usage for a console, in the columns that terminals and man pages use.
const char kConsoleUsage[] =
    "Usage: pathwick [OPTION]...\n"
    "Animates a depth-first search of the 10 x 10 maze in MazeMap.txt.\n"
    "\n"
    "  --windowed       open the framed 420 x 420 window without asking\n"
    "  --fullscreen     open the full-screen window without asking\n"
    "  --map FILE       read the maze from FILE instead of MazeMap.txt\n"
    "  --texture FILE   read the wall texture from FILE instead of Stone.BMP\n"
    "  --edit           draw the maze with the mouse before the search starts: a\n"
    "                   left click turns a wall open, an open cell into an exit and\n"
    "                   an exit into a wall, a right click goes the other way; each\n"
    "                   click is saved to the map file at once (created if missing)\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Keys: Return start, Shift pause, Ctrl resume, Up/Down speed, End full speed,\n"
    "F1 about, Escape exit. The exit status is 1 once a window opened.\n";

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
    "--texture FILE: read the wall texture from FILE\n"
    "--edit: draw the maze with the mouse\n"
    "--help or /?: show this help\n"
    "--version: show the version\n"
    "\n"
    "Keys:\n"
    "Return: start\n"
    "Shift: pause\n"
    "Ctrl: resume\n"
    "Up, Down: faster, slower\n"
    "End: full speed\n"
    "F1: about\n"
    "Escape: exit\n"
    "\n"
    "With --edit, before the search starts:\n"
    "Left click: wall, open, exit, wall\n"
    "Right click: the other way\n"
    "Each click is saved to the map file.\n";

constexpr int kHelpExitCode = 0;
constexpr int kUsageExitCode = 2;

// One argument split at its first "=": "--map=a.txt" is "--map" with the
// value "a.txt"; "--map" alone has no value.
struct Argument {
  std::string name;
  const char* value;  // null when the argument has no "="
};

Argument Split(const char* argument) {
  const char* equals = std::strchr(argument, '=');
  if (argument[0] != '-' || equals == nullptr) return Argument{argument, nullptr};
  return Argument{std::string(argument, equals), equals + 1};
}

// True when `path` names a regular file that can be opened for reading, the
// way the map and texture readers open it.
bool IsReadableFile(const char* path) {
  std::ifstream file;
  return OpenRegularFile(file, path);
}

// Warns about a file that the command line named and that cannot be read.
void WarnIfUnreadable(bool named, const char* path, const char* what, const char* consequence) {
  if (!named || IsReadableFile(path)) return;
  const std::string warning =
      std::string("cannot read the ") + what + " '" + path + "': " + consequence;
  PlatformNotify(NoticeKind::Warning, warning.c_str());
}

}  // namespace

const char* UsageText(UsageLayout layout) {
  return layout == UsageLayout::Box ? kBoxUsage : kConsoleUsage;
}

ParseResult ParseArguments(int argc, const char* const* argv, LaunchOptions* options,
                           std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const Argument argument = Split(argv[i]);
    const std::string& name = argument.name;
    const bool takesValue = name == "--map" || name == "--texture";
    if (!takesValue && argument.value != nullptr) {
      *error = "option '" + name + "' takes no value";
      return ParseResult::Error;
    }
    // "/?" is how Windows programs are asked for help.
    if (name == "--help" || name == "/?") return ParseResult::Help;
    if (name == "--version") return ParseResult::Version;
    if (name == "--windowed") {
      options->window = WindowChoice::Framed;
    } else if (name == "--fullscreen") {
      options->window = WindowChoice::FullScreen;
    } else if (name == "--edit") {
      options->edit = true;
    } else if (takesValue) {
      const char* value = argument.value;
      if (value == nullptr && i + 1 < argc) value = argv[++i];
      if (value == nullptr || *value == '\0') {
        *error = "option '" + name + "' needs a FILE";
        return ParseResult::Error;
      }
      if (name == "--map") {
        options->mapFile = value;
        options->mapFileNamed = true;
      } else {
        options->textureFile = value;
        options->textureFileNamed = true;
      }
    } else {
      *error = "unknown argument '" + name + "'";
      return ParseResult::Error;
    }
  }
  return ParseResult::Run;
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
      PlatformNotify(NoticeKind::Info, "pathwick " PATHWICK_VERSION "\n");
      return kHelpExitCode;
    case ParseResult::Error:
      PlatformNotify(NoticeKind::Error, (error + "\n\n" + usage).c_str());
      return kUsageExitCode;
    case ParseResult::Run:
      break;
  }
  // In edit mode a map file that does not exist yet is no fault: the first
  // edit creates it.
  const bool mapToCreate = options.edit && !FileExists(options.mapFile);
  WarnIfUnreadable(options.mapFileNamed && !mapToCreate, options.mapFile, "map file",
                   "every cell stays a wall");
  WarnIfUnreadable(options.textureFileNamed, options.textureFile, "texture file",
                   "the walls are plain brown");
  AppInstance = instance;
  return RunApplication(options);
}
