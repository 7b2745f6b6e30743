// The program on the offscreen platform, put back to its start between the
// runs of one test process.
#pragma once

#include "shell/app/program_state.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "shell/platform/platform.h"
#include "ui/commands.h"

// The program's state and the offscreen platform at their start values.
inline void ResetProgram() {
  ResetProgramState();
  offscreen::Reset();
}

// ResetProgram, then the platform opened as start-up opens it, for tests
// that set the program up without RunApplication: the window's messages go
// to the program's window procedure.
inline void ResetOpenedProgram() {
  ResetProgram();
  const char* error = nullptr;
  PlatformOpen(PlatformSetup{nullptr, MainWindowProc}, &error);
}
