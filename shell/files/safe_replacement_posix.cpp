// The safe writer on Linux: a new file beside the old one, locked while it
// is written, renamed over it; written in place where a rename would change
// what the user has. With the sweep of the partial files that killed
// writers left, which goes by the same names and locks.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "shell/files/file_names.h"
#include "shell/files/replacement_reasons.h"
#include "shell/files/safe_replacement.h"

namespace {

constexpr char kOtherOwnerReason[] = "the file is owned by another user";
constexpr char kOtherGroupReason[] = "the file belongs to a group you are not in";
constexpr char kHardLinksReason[] = "the file has other hard links";

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

}  // namespace

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
