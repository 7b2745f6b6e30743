#include "shell/file_names.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#ifdef _WIN32

std::wstring WideFromUtf8(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], length);
  wide.resize(static_cast<size_t>(length) - 1);  // drop the terminating NUL
  return wide;
}

std::string Utf8FromWide(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], length, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(length) - 1);  // drop the terminating NUL
  return utf8;
}

#endif

namespace {

// The file system's path for the UTF-8 name `utf8Name`: UTF-16 on Windows,
// the bytes as they are elsewhere.
std::filesystem::path PathFromUtf8(const char* utf8Name) {
#ifdef _WIN32
  return std::filesystem::path(WideFromUtf8(utf8Name));
#else
  return std::filesystem::path(utf8Name);
#endif
}

}  // namespace

bool FileExists(const char* utf8Name) {
  std::error_code error;
  return std::filesystem::exists(PathFromUtf8(utf8Name), error);
}

bool OpenRegularFile(std::ifstream& file, const char* utf8Name, std::ios::openmode mode) {
  const std::filesystem::path path = PathFromUtf8(utf8Name);
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) file.open(path, mode | std::ios::in);
  if (!file.is_open()) file.setstate(std::ios::failbit);
  return file.is_open();
}

namespace {

constexpr char kReadOnlyReason[] = "the file is read-only";
constexpr char kNotRegularReason[] = "it is not a regular file";

#ifdef _WIN32

// Windows' text for the error of the last failed call, in UTF-8.
std::string LastErrorText() {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "unknown error";
  std::string utf8 = Utf8FromWide(text);
  LocalFree(text);
  while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == '.')) {
    utf8.pop_back();
  }
  return utf8;
}

// A new, empty file beside `path` for the new contents, named as on other
// systems NAME.partial-...; its name in `temp`.
HANDLE CreateTempBeside(const std::wstring& path, std::wstring* temp) {
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    *temp = path + L".partial-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(attempt);
    file = CreateFileW(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return file;
}

bool WriteAndFlush(HANDLE file, const std::string& contents) {
  DWORD written = 0;
  return WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) !=
             0 &&
         written == contents.size() && FlushFileBuffers(file) != 0;
}

#else

// The file that `utf8Name` names: a symbolic link gives the file it points
// to, so that the link stays and its target gets the new contents.
std::filesystem::path TargetOf(const char* utf8Name) {
  const std::filesystem::path path = PathFromUtf8(utf8Name);
  std::error_code error;
  if (!std::filesystem::is_symlink(path, error)) return path;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  return error ? path : target;
}

// The mode of a newly created file: read and write for all, less the umask.
mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Makes the new file's contents and its entry in the folder durable.
void SyncFolderOf(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

#endif

}  // namespace

#ifdef _WIN32

bool ReplaceFileContents(const char* utf8Name, const std::string& contents, std::string* error) {
  const std::wstring path = WideFromUtf8(utf8Name);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
      *error = kNotRegularReason;
      return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      *error = kReadOnlyReason;
      return false;
    }
  }
  std::wstring temp;
  const HANDLE file = CreateTempBeside(path, &temp);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastErrorText();
    return false;
  }
  const bool written = WriteAndFlush(file, contents);
  if (!written) *error = LastErrorText();
  CloseHandle(file);
  if (written &&
      MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  if (written) *error = LastErrorText();
  DeleteFileW(temp.c_str());
  return false;
}

#else

FileReplacement::~FileReplacement() { Discard(); }

bool FileReplacement::Begin(const char* utf8Name, std::string* error) {
  const std::filesystem::path path = TargetOf(utf8Name);
  struct stat old {};
  const bool exists = stat(path.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) {
    *error = std::strerror(errno);
    return false;
  }
  if (exists && !S_ISREG(old.st_mode)) {
    *error = kNotRegularReason;
    return false;
  }
  // The permission bits tell a read-only file also to root, whom access()
  // lets write anything. (A read-only file system is left to the writing,
  // which fails with its own reason.)
  if (exists && ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                 (access(path.c_str(), W_OK) != 0 && errno == EACCES))) {
    *error = kReadOnlyReason;
    return false;
  }

  std::string name = path.string() + ".partial-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  target_ = path.string();
  temporary_ = name;
  // mkstemp makes the file private; give it the old file's mode and owner
  // (the owner only where allowed), or a new file's mode.
  fchmod(fd, exists ? (old.st_mode & 07777) : NewFileMode());
  if (exists && fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Not the owner's to give: the file becomes the writer's.
  }
  stream_ = fdopen(fd, "wb");
  if (stream_ != nullptr) return true;
  *error = std::strerror(errno);
  close(fd);
  Discard();
  return false;
}

bool FileReplacement::Commit(std::string* error) {
  errno = 0;
  int failure = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0 || fsync(fileno(stream_)) != 0) {
    failure = errno != 0 ? errno : EIO;
  }
  std::FILE* stream = stream_;
  stream_ = nullptr;
  if (std::fclose(stream) != 0 && failure == 0) failure = errno;
  if (failure == 0 && rename(temporary_.c_str(), target_.c_str()) != 0) failure = errno;
  if (failure != 0) {
    *error = std::strerror(failure);
    Discard();
    return false;
  }
  temporary_.clear();
  SyncFolderOf(target_);
  return true;
}

void FileReplacement::Discard() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

bool ReplaceFileContents(const char* utf8Name, const std::string& contents, std::string* error) {
  FileReplacement replacement;
  if (!replacement.Begin(utf8Name, error)) return false;
  if (std::fwrite(contents.data(), 1, contents.size(), replacement.stream()) != contents.size()) {
    *error = std::strerror(errno);
    return false;
  }
  return replacement.Commit(error);
}

#endif
