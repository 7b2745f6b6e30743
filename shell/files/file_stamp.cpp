// A file's stamp: what tells cheaply that it may have changed.
#include <filesystem>
#include <system_error>

#include "shell/files/file_names.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

FileStamp StampOf(const char* utf8Name) {
  const std::filesystem::path path = PathFromUtf8(utf8Name);
  std::error_code error;
  FileStamp stamp;
  stamp.modified = std::filesystem::last_write_time(path, error);
  if (error) return FileStamp{};
  stamp.size = std::filesystem::file_size(path, error);
  if (error) stamp.size = 0;
#ifndef _WIN32
  struct stat file {};
  if (stat(path.c_str(), &file) == 0) stamp.identity = file.st_ino;
#endif
  return stamp;
}
