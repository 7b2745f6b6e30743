// A file's stamp: what tells cheaply that it may have changed.
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "shell/files/file_names.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

#ifdef _WIN32
// Windows' file ids are not read: 0, so only size and time tell.
std::uintmax_t IdentityOf(const std::filesystem::path&) { return 0; }
#else
// The inode: a file renamed over the name has another.
std::uintmax_t IdentityOf(const std::filesystem::path& path) {
  struct stat file {};
  return stat(path.c_str(), &file) == 0 ? file.st_ino : 0;
}
#endif

}  // namespace

FileStamp StampOf(const char* utf8Name) {
  const std::filesystem::path path = PathFromUtf8(utf8Name);
  std::error_code error;
  FileStamp stamp;
  stamp.modified = std::filesystem::last_write_time(path, error);
  if (error) return FileStamp{};
  stamp.size = std::filesystem::file_size(path, error);
  if (error) stamp.size = 0;
  stamp.identity = IdentityOf(path);
  return stamp;
}
