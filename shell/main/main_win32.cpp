// Pathwick on Windows: a GUI program (no console window). The options are
// those of the Linux program; help, version and errors show in boxes.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#include <vector>

#include "shell/files/file_names.h"
#include "shell/main/launch.h"

namespace {

// The command line as typed, each argument in UTF-8. It is read as UTF-16:
// the runtime's __argv holds it in the ANSI code page, which cannot hold
// every file name. Empty if Windows cannot split it.
std::vector<std::string> Utf8Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  const std::vector<std::string> arguments = Utf8Arguments();
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  return RunProgram(static_cast<int>(arguments.size()), argv.data(), instance, showCommand);
}
