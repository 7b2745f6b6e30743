// Pathwick on Windows: a GUI program (no console window). The options are
// those of the Linux program, from the runtime's split of the command line;
// help, version and errors show in boxes.
#include <windows.h>

#include <cstdlib>

#include "shell/launch.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  return RunProgram(__argc, __argv, instance, showCommand);
}
