#include "shell/app/program_state.h"

ProgramState App;

void ResetProgramState() { App = ProgramState{}; }
