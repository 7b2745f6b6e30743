// The command line: options, help and version, and the start of the program.
#pragma once

#include <string>

#include "shell/main/application.h"
#include "shell/text/command_line.h"

using ParseResult = CommandLine::Result;

// The help text, laid out for a console (aligned columns) or for a box in a
// proportional font (short lines, one option a line).
enum class UsageLayout { Console, Box };
const char* UsageText(UsageLayout layout);

// Reads the options into `options`, the way command_line.h describes; "/?"
// asks for help as --help does. On Error, `error` says in one line what is
// wrong.
ParseResult ParseArguments(int argc, const char* const* argv, LaunchOptions* options,
                           std::string* error);

// The whole program: shows the help or version, reports bad usage, warns
// about named files that cannot be read, then runs the application.
// `instance` and `showCommand` are what the platform started the program
// with. Returns the exit code: 0 after help or version, 2 for bad usage, 1
// for every run.
int RunProgram(int argc, const char* const* argv, void* instance, int showCommand);
