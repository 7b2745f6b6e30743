// The edit lock on Linux: an flock on the file itself.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "shell/files/edit_lock.h"

namespace {

// How often a waiting lock tries again: short next to a write's few
// milliseconds.
constexpr auto kRetryPeriod = std::chrono::milliseconds(1);

using Clock = std::chrono::steady_clock;

// Takes the flock of `fd`, trying until `deadline`.
bool LockBefore(int fd, Clock::time_point deadline) {
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kRetryPeriod);
  }
  return true;
}

// Whether `fd` is the regular file that `name` names now.
bool IsFileNamed(int fd, const char* name) {
  struct stat opened {};
  struct stat named {};
  return fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && stat(name, &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

EditLock::EditLock(const char* utf8Name) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kMaxWaitMs);
  // A writer that held the lock may have renamed a new file over the one
  // locked here: the lock of the old one keeps nobody out, so the new one's
  // is taken.
  do {
    // O_NONBLOCK: a FIFO under the name must not block the open.
    const int fd = open(utf8Name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat file {};
    if (fstat(fd, &file) != 0 || !S_ISREG(file.st_mode) || !LockBefore(fd, deadline)) {
      close(fd);
      return;
    }
    if (IsFileNamed(fd, utf8Name)) {
      fd_ = fd;
      held_ = true;
      return;
    }
    close(fd);
  } while (Clock::now() < deadline);
}

EditLock::~EditLock() {
  if (fd_ >= 0) close(fd_);  // which ends the flock
}
