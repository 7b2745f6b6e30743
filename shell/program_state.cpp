#include "shell/program_state.h"

MazeExplorer Explorer;

void* AppInstance = nullptr;

const char WindowClassName[] = "PathwickClass";
const char WindowTitle[] = "Pathwick --Demo Corvinder 2002-5-18";

const char* MapFileName = kDefaultMapFileName;
