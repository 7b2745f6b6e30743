#include "shell/files/file_names.h"

#include <chrono>
#include <filesystem>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
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

namespace {

constexpr char kReadOnlyReason[] = "the file is read-only";
constexpr char kNotRegularReason[] = "it is not a regular file";
#ifndef _WIN32
constexpr char kOtherOwnerReason[] = "the file is owned by another user";
constexpr char kOtherGroupReason[] = "the file belongs to a group you are not in";
constexpr char kHardLinksReason[] = "the file has other hard links";
#endif
// A leftover NAME.partial-... younger than this may be one that a program
// has just made and not yet locked, or closed and not yet renamed: it is
// left alone.
constexpr int kLeftoverMinimumAgeSeconds = 10;

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

bool WriteContents(HANDLE file, const std::string& contents) {
  DWORD written = 0;
  return WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) !=
             0 &&
         written == contents.size();
}

// Whether the existing file at `path` has names besides this one: a rename
// over it would cut them off.
bool HasOtherHardLinks(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool linked =
      GetFileInformationByHandle(file, &information) != 0 && information.nNumberOfLinks > 1;
  CloseHandle(file);
  return linked;
}

// The file that `named` ends at: a symbolic link (an NTFS one, or a Unix one
// under Wine) is followed, so that the link stays and its target gets the
// new contents. `named` itself where it cannot be opened: a file not there
// yet, or a link whose target is gone.
std::wstring FinalPathOf(const std::wstring& named) {
  const HANDLE file =
      CreateFileW(named.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return named;
  std::wstring path(MAX_PATH, L'\0');
  // Too small a buffer gets the length needed, its terminating null included.
  DWORD length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED);
  if (length >= path.size()) {
    path.resize(length);
    length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                       FILE_NAME_NORMALIZED);
  }
  CloseHandle(file);
  if (length == 0 || length >= path.size()) return named;
  path.resize(length);
  return path;
}

// Whether making the new file or renaming it over the existing one failed
// for a reason that writing the file where it is need not share: the folder
// may not be written, or another program holds the file open in a way that
// forbids a rename over it.
bool RenameRefused(DWORD failure) {
  return failure == ERROR_ACCESS_DENIED || failure == ERROR_SHARING_VIOLATION ||
         failure == ERROR_LOCK_VIOLATION;
}

// Writes `contents` over the existing file `path`, where it is: the new
// bytes first, then the file cut to their length and flushed to the disk.
// Readers and writers that share the file keep it open meanwhile.
bool WriteInPlace(const std::wstring& path, const std::string& contents, std::string* error) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastErrorText();
    return false;
  }
  const bool regular = GetFileType(file) == FILE_TYPE_DISK;
  const bool written = regular && WriteContents(file, contents) && SetEndOfFile(file) != 0 &&
                       FlushFileBuffers(file) != 0;
  if (!written) *error = regular ? LastErrorText() : kNotRegularReason;
  CloseHandle(file);
  return written;
}

#else

// More links than this in a chain is taken for a loop, as the kernel does.
constexpr int kMaxLinkHops = 40;

// The file that `utf8Name` names, following symbolic links whether their
// target exists or not, so that the links stay and the file at the end of
// the chain gets the new contents (or is created). A relative link is read
// from the link's folder. False, with errno's number in `failure`, for a
// loop or a link that cannot be read.
bool FollowLinks(const char* utf8Name, std::filesystem::path* target, int* failure) {
  std::filesystem::path path = PathFromUtf8(utf8Name);
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
      *target = path;
      return true;
    }
    const std::filesystem::path link = std::filesystem::read_symlink(path, error);
    if (error) {
      *failure = error.value();
      return false;
    }
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  *failure = ELOOP;
  return false;
}

// Whether a rename over the file at `path` (which must exist) failed for a
// reason that writing the file where it is does not share: the file is a
// mount point (EBUSY), the folder may not be written (EACCES), or a sticky
// folder keeps others' files (EPERM).
bool RenameRefusedByFolder(int failure) {
  return failure == EBUSY || failure == EACCES || failure == EPERM;
}

// The reason a file that exists but may not be written is left alone.
const char* NotWritableReason(const struct stat& file) {
  return file.st_uid != geteuid() ? kOtherOwnerReason : kReadOnlyReason;
}

// Why giving the new file `old`'s owner and group failed.
const char* OwnerReason(const struct stat& old) {
  return old.st_uid != geteuid() ? kOtherOwnerReason : kOtherGroupReason;
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
  const std::wstring path = FinalPathOf(WideFromUtf8(utf8Name));
  const DWORD attributes = GetFileAttributesW(path.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists) {
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
      *error = kNotRegularReason;
      return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      *error = kReadOnlyReason;
      return false;
    }
  }
  // From here on an existing file may be written where it is, which is done
  // where a rename would cut it from its other names, or is refused.
  if (exists && HasOtherHardLinks(path)) return WriteInPlace(path, contents, error);
  std::wstring temp;
  const HANDLE file = CreateTempBeside(path, &temp);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    *error = LastErrorText();
    return exists && RenameRefused(failure) && WriteInPlace(path, contents, error);
  }
  const bool written = WriteContents(file, contents) && FlushFileBuffers(file) != 0;
  if (!written) *error = LastErrorText();
  CloseHandle(file);
  if (written &&
      MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  const DWORD failure = written ? GetLastError() : ERROR_SUCCESS;
  if (written) *error = LastErrorText();
  DeleteFileW(temp.c_str());
  return exists && RenameRefused(failure) && WriteInPlace(path, contents, error);
}

void RemoveLeftoverReplacements(const char* utf8Name) {
  const std::filesystem::path target = FinalPathOf(WideFromUtf8(utf8Name));
  const std::wstring prefix = target.filename().wstring() + L".partial-";
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : L".";
  const auto oldest = std::filesystem::file_time_type::clock::now() -
                      std::chrono::seconds(kLeftoverMinimumAgeSeconds);
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::wstring name = entry->path().filename().wstring();
    std::error_code ignored;
    if (name.compare(0, prefix.size(), prefix) != 0 || !entry->is_regular_file(ignored) ||
        entry->last_write_time(ignored) > oldest) {
      continue;
    }
    // A writer holds its new file open without sharing it: that one stays.
    DeleteFileW(entry->path().c_str());
  }
}

#else

FileReplacement::~FileReplacement() { Discard(); }

bool FileReplacement::Fail(const std::string& reason, bool canWriteInPlace, std::string* error) {
  *error = reason;
  canWriteInPlace_ = canWriteInPlace;
  Discard();
  return false;
}

bool FileReplacement::Begin(const char* utf8Name, std::string* error) {
  canWriteInPlace_ = false;
  std::filesystem::path path;
  int failure = 0;
  if (!FollowLinks(utf8Name, &path, &failure)) return Fail(std::strerror(failure), false, error);
  target_ = path.string();
  struct stat old {};
  targetExists_ = stat(target_.c_str(), &old) == 0;
  if (!targetExists_ && errno != ENOENT) return Fail(std::strerror(errno), false, error);
  if (targetExists_ && !S_ISREG(old.st_mode)) return Fail(kNotRegularReason, false, error);
  // The permission bits tell a read-only file also to root, whom access()
  // lets write anything; the effective ids decide, as for the writing. (A
  // read-only file system is left to the writing, which fails with its own
  // reason.)
  if (targetExists_ && (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    return Fail(kReadOnlyReason, false, error);
  }
  if (targetExists_ && faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0 &&
      errno == EACCES) {
    return Fail(NotWritableReason(old), false, error);
  }
  // From here on an existing file may be written where it is; a rename
  // would cut it from its other names.
  if (targetExists_ && old.st_nlink > 1) return Fail(kHardLinksReason, true, error);

  std::string name = target_ + ".partial-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    const int cause = errno;
    return Fail(std::strerror(cause), targetExists_ && RenameRefusedByFolder(cause), error);
  }
  temporary_ = name;
  // Held until the new file is renamed or removed: a program that starts
  // meanwhile sees that the file is in use (RemoveLeftoverReplacements).
  flock(fd, LOCK_EX | LOCK_NB);
  // mkstemp makes the file private; give it the old file's mode, owner and
  // group, or a new file's mode. A file whose owner or group cannot be kept
  // is not replaced: it would become the writer's.
  fchmod(fd, targetExists_ ? (old.st_mode & 07777) : NewFileMode());
  if (targetExists_ && fchown(fd, old.st_uid, old.st_gid) != 0) {
    close(fd);
    return Fail(OwnerReason(old), true, error);
  }
  stream_ = fdopen(fd, "wb");
  if (stream_ != nullptr) return true;
  const int cause = errno;
  close(fd);
  return Fail(std::strerror(cause), false, error);
}

bool FileReplacement::Commit(std::string* error) {
  errno = 0;
  int failure = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0 || fsync(fileno(stream_)) != 0) {
    failure = errno != 0 ? errno : EIO;
  }
  // Renamed while still open, and so locked.
  const bool renamed = failure == 0 && rename(temporary_.c_str(), target_.c_str()) == 0;
  if (failure == 0 && !renamed) failure = errno;
  if (renamed) temporary_.clear();
  std::FILE* stream = stream_;
  stream_ = nullptr;
  if (std::fclose(stream) != 0 && failure == 0 && !renamed) failure = errno;
  if (!renamed) {
    return Fail(std::strerror(failure), targetExists_ && RenameRefusedByFolder(failure), error);
  }
  SyncFolderOf(target_);
  return true;
}

void FileReplacement::Discard() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

namespace {

bool WriteAll(int fd, const std::string& contents) {
  size_t written = 0;
  while (written < contents.size()) {
    const ssize_t step = write(fd, contents.data() + written, contents.size() - written);
    if (step < 0 && errno == EINTR) continue;
    if (step <= 0) return false;
    written += static_cast<size_t>(step);
  }
  return true;
}

// Writes `contents` over the regular file `path`, where it is: the new
// bytes first, then the file cut to their length and flushed to the disk.
bool WriteInPlace(const std::string& path, const std::string& contents, std::string* error) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  struct stat file {};
  errno = 0;
  const bool regular = fstat(fd, &file) == 0 && S_ISREG(file.st_mode);
  const bool written = regular && WriteAll(fd, contents) &&
                       ftruncate(fd, static_cast<off_t>(contents.size())) == 0 && fsync(fd) == 0;
  if (!written) *error = regular ? std::strerror(errno != 0 ? errno : EIO) : kNotRegularReason;
  if (close(fd) != 0 && written) {
    *error = std::strerror(errno);
    return false;
  }
  return written;
}

}  // namespace

bool ReplaceFileContents(const char* utf8Name, const std::string& contents, std::string* error) {
  FileReplacement replacement;
  if (replacement.Begin(utf8Name, error)) {
    if (std::fwrite(contents.data(), 1, contents.size(), replacement.stream()) != contents.size()) {
      *error = std::strerror(errno);
      return false;
    }
    if (replacement.Commit(error)) return true;
  }
  if (!replacement.CanWriteInPlace()) return false;
  return WriteInPlace(replacement.target(), contents, error);
}

void RemoveLeftoverReplacements(const char* utf8Name) {
  std::filesystem::path target;
  int failure = 0;
  if (!FollowLinks(utf8Name, &target, &failure)) return;
  const std::string prefix = target.filename().string() + ".partial-";
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string path = entry->path().string();
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat file {};
    // Unlocked: no running program writes it.
    if (fstat(fd, &file) == 0 && S_ISREG(file.st_mode) &&
        file.st_mtime + kLeftoverMinimumAgeSeconds < std::time(nullptr) &&
        flock(fd, LOCK_EX | LOCK_NB) == 0) {
      unlink(path.c_str());
    }
    close(fd);
  }
}

#endif
