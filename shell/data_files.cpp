#include "shell/data_files.h"

#include <system_error>

#include "shell/file_names.h"

#ifdef _WIN32
#include <windows.h>
#endif

// PATHWICK_DATA_FROM_PROGRAM, set by the build: the data folder relative to
// the folder the program is installed in; on Linux PATHWICK_LOCALE_FROM_PROGRAM
// likewise for the folder of message catalogs.

namespace {

#ifdef _WIN32
std::filesystem::path RunningProgram() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &name[0], static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) return std::filesystem::path(name.substr(0, length));
    name.resize(name.size() * 2);  // truncated: try again with more room
  }
}

std::string Utf8Name(const std::filesystem::path& path) { return Utf8FromWide(path.c_str()); }
#else
std::filesystem::path RunningProgram() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error);
}

std::string Utf8Name(const std::filesystem::path& path) { return path.string(); }
#endif

}  // namespace

std::filesystem::path InstalledDataFolder(const std::filesystem::path& program) {
  return (program.parent_path() / PATHWICK_DATA_FROM_PROGRAM).lexically_normal();
}

std::string FindDataFile(const char* name, const std::filesystem::path& program) {
  if (FileExists(name) || program.empty()) return name;
  std::error_code error;
  const std::filesystem::path installed = InstalledDataFolder(program) / name;
  if (std::filesystem::is_regular_file(installed, error)) return Utf8Name(installed);
  return name;
}

std::string FindDataFile(const char* name) { return FindDataFile(name, RunningProgram()); }

#ifndef _WIN32
std::filesystem::path MessageCatalogFolder(const std::filesystem::path& program) {
  if (program.empty()) return {};
  std::error_code error;
  const std::filesystem::path besideProgram = program.parent_path() / "locale";
  if (std::filesystem::is_directory(besideProgram, error)) return besideProgram;
  return (program.parent_path() / PATHWICK_LOCALE_FROM_PROGRAM).lexically_normal();
}

std::filesystem::path MessageCatalogFolder() { return MessageCatalogFolder(RunningProgram()); }
#endif
