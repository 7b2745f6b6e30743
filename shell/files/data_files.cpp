#include "shell/files/data_files.h"

#include <cstdlib>
#include <system_error>

#include "shell/files/file_names.h"
#include "shell/files/quoting.h"
#include "shell/files/safe_replacement.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h:
#include <knownfolders.h>
#include <shlobj.h>
#else
#include <pwd.h>
#include <unistd.h>
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

#ifdef _WIN32
std::filesystem::path UserMapFolder() {
  wchar_t* documents = nullptr;
  std::filesystem::path folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &documents))) {
    folder = std::filesystem::path(documents) / L"Pathwick";
  }
  CoTaskMemFree(documents);
  return folder;
}
#else
std::filesystem::path UserMapFolder() {
  // An XDG folder must be absolute; a relative one is ignored.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/')
    return std::filesystem::path(dataHome) / "pathwick";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] == '\0') return {};
  return std::filesystem::path(home) / ".local/share/pathwick";
}
#endif

namespace {

#ifdef _WIN32
// Whether two names name one file or folder: the same volume and file index
// (the C++ library's equivalent() does not tell folders apart there).
bool SameFile(const std::filesystem::path& first, const std::filesystem::path& second) {
  BY_HANDLE_FILE_INFORMATION info[2] = {};
  const std::filesystem::path* names[2] = {&first, &second};
  for (int i = 0; i < 2; ++i) {
    const HANDLE file = CreateFileW(names[i]->c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, &info[i]) != 0;
    CloseHandle(file);
    if (!known) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}
#else
bool SameFile(const std::filesystem::path& first, const std::filesystem::path& second) {
  std::error_code error;
  return std::filesystem::equivalent(first, second, error);
}
#endif

// Where writing to `named` would land: symbolic links followed, a dangling
// one too (the writer creates its target), and the name made absolute.
std::filesystem::path WrittenFile(std::filesystem::path named) {
  constexpr int kMaxLinks = 40;  // as many as the system follows
  std::error_code error;
  for (int link = 0; link < kMaxLinks && std::filesystem::is_symlink(named, error); ++link) {
    const std::filesystem::path target = std::filesystem::read_symlink(named, error);
    if (error) break;
    named = target.is_absolute() ? target : named.parent_path() / target;
  }
  return std::filesystem::weakly_canonical(std::filesystem::absolute(named, error), error);
}

// The installed file that the map `named` is, or would be once written:
// one in InstalledDataFolder(program), reached by any name (a relative one
// in that folder, a symbolic link, a linked folder on the way, or a hard
// link elsewhere). Empty when it is none.
std::filesystem::path InstalledFileNamed(const char* named, const std::filesystem::path& program) {
  if (program.empty()) return {};
  const std::filesystem::path folder = InstalledDataFolder(program);
  const std::filesystem::path written = WrittenFile(PathFromUtf8(named));
  if (SameFile(written.parent_path(), folder)) return written;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (SameFile(entry.path(), written)) return entry.path();
  }
  return {};
}

// Puts a copy of the maze `installed` at `copy`, in a folder made for it
// when missing. False, with the reason in `error`, when it cannot.
bool CopyInstalledMaze(const std::filesystem::path& installed, const std::filesystem::path& copy,
                       std::string* error) {
  std::error_code made;
  std::filesystem::create_directories(copy.parent_path(), made);
  if (made) {
    *error = made.message();
    return false;
  }
  std::string maze;
  ReadWholeFile(Utf8Name(installed).c_str(), &maze);  // a missing maze gives an all-wall copy
  return ReplaceFileContents(Utf8Name(copy).c_str(), maze, error);
}

}  // namespace

std::optional<std::string> MapFileToEdit(const char* name, const std::filesystem::path& program,
                                         const std::filesystem::path& userFolder,
                                         NoticeLevel* level, std::string* notice) {
  *level = NoticeLevel::None;
  notice->clear();
  const std::filesystem::path installed = InstalledFileNamed(name, program);
  if (installed.empty()) return name;
  if (userFolder.empty()) {
    *level = NoticeLevel::Warning;
    *notice =
        "the installed maze is not edited, and no folder of yours for a copy is known: "
        "--edit is ignored";
    return std::nullopt;
  }
  const std::filesystem::path copy = userFolder / installed.filename();
  const std::string copyName = Utf8Name(copy);
  std::string reason;
  if (!FileExists(copyName.c_str()) && !CopyInstalledMaze(installed, copy, &reason)) {
    *level = NoticeLevel::Warning;
    *notice = "cannot copy the installed maze to " + Quoted(copyName) + ": " + reason;
    return copyName;
  }
  *level = NoticeLevel::Info;
  *notice = "the installed maze is not edited: the edits go to " + Quoted(copyName);
  return copyName;
}

std::optional<std::string> MapFileToEdit(const char* name, NoticeLevel* level,
                                         std::string* notice) {
  return MapFileToEdit(name, RunningProgram(), UserMapFolder(), level, notice);
}

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
