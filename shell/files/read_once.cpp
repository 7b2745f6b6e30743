#include "shell/files/read_once.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "shell/files/file_names.h"
#include "shell/files/quoting.h"

namespace {

bool IsStandardInput(const char* utf8Name) {
  return std::strcmp(utf8Name, kStandardInputName) == 0;
}

std::filesystem::file_status StatusOf(const char* utf8Name) {
  std::error_code error;
  return std::filesystem::status(PathFromUtf8(utf8Name), error);
}

// The system's reason for the last failed call, as errno holds it.
std::string SystemReason() { return errno != 0 ? std::strerror(errno) : "it cannot be read"; }

bool ReadStream(std::istream& in, std::string* contents) {
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return false;
  *contents = bytes.str();
  return true;
}

}  // namespace

bool IsReadOnceName(const char* utf8Name) {
  if (IsStandardInput(utf8Name)) return true;
  const std::filesystem::file_status status = StatusOf(utf8Name);
  return std::filesystem::is_fifo(status) || std::filesystem::is_character_file(status);
}

bool ReadAllOnce(const char* utf8Name, std::string* contents, std::string* error) {
  contents->clear();
  errno = 0;
  if (IsStandardInput(utf8Name)) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);  // the map reader takes CR LF as it is
#endif
    // An empty standard input, or none (a program started without one), is
    // an empty map, as an empty file is.
    if (ReadStream(std::cin, contents)) return true;
    *error = SystemReason();
    return false;
  }
  std::ifstream in(PathFromUtf8(utf8Name), std::ios::binary);
  if (in.is_open() && ReadStream(in, contents)) return true;
  *error = SystemReason();
  return false;
}

std::string ReadRefusal(const char* utf8Name) {
  if (IsReadOnceName(utf8Name)) return "";
  const std::filesystem::file_status status = StatusOf(utf8Name);
  if (!std::filesystem::exists(status)) return "it does not exist";
  if (std::filesystem::is_directory(status)) return "it is a directory";
  if (!std::filesystem::is_regular_file(status)) return "it is not a regular file or a pipe";
  std::ifstream file;
  errno = 0;
  if (OpenRegularFile(file, utf8Name)) return "";
  return SystemReason();
}

std::string DescribedFileName(const char* utf8Name) {
  return IsStandardInput(utf8Name) ? "standard input" : Quoted(utf8Name);
}
