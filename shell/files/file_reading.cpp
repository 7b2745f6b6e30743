// Reading a file by name, only when it is a regular file.
#include <filesystem>
#include <sstream>
#include <system_error>

#include "shell/files/file_names.h"

bool OpenRegularFile(std::ifstream& file, const char* utf8Name, std::ios::openmode mode) {
  const std::filesystem::path path = PathFromUtf8(utf8Name);
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) file.open(path, mode | std::ios::in);
  if (!file.is_open()) file.setstate(std::ios::failbit);
  return file.is_open();
}

bool ReadWholeFile(const char* utf8Name, std::string* contents) {
  contents->clear();
  std::ifstream file;
  if (!OpenRegularFile(file, utf8Name, std::ios::binary)) return false;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad()) return false;
  *contents = bytes.str();
  return true;
}
