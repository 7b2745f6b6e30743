#include "tools/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace {

constexpr int kCleanUpSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The replacement being written, for the signal handler, which may run at
// any moment and so reads only these two.
char pendingName[PATH_MAX];
volatile sig_atomic_t replacementPending = 0;

// Removes the replacement, then ends the process as the signal would have.
extern "C" void RemoveReplacementAndDie(int signalNumber) {
  if (replacementPending != 0) unlink(pendingName);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

sigset_t CleanUpSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signalNumber : kCleanUpSignals) sigaddset(&set, signalNumber);
  return set;
}

// From here on the signals remove `name` before they end the process; a
// signal that the process was told to ignore (nohup) stays ignored.
void RemoveOnSignal(const std::string& name) {
  std::memcpy(pendingName, name.c_str(), name.size() + 1);
  replacementPending = 1;
  struct sigaction action {};
  action.sa_handler = RemoveReplacementAndDie;
  sigemptyset(&action.sa_mask);
  for (const int signalNumber : kCleanUpSignals) {
    struct sigaction current {};
    sigaction(signalNumber, nullptr, &current);
    if (current.sa_handler != SIG_IGN) sigaction(signalNumber, &action, nullptr);
  }
}

// The mode a new file gets from open(..., 0666): the umask's.
mode_t ModeOfNewFile() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(const std::string& name) {
  if (name == "-") {
    stream_ = stdout;
    return true;
  }
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(name, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    return OpenDirectly(name);
  }
  return OpenReplacement(name);
}

bool OutputFile::OpenDirectly(const std::string& name) {
  stream_ = std::fopen(name.c_str(), "wb");
  if (stream_ == nullptr) return Fail();
  ownsStream_ = true;
  return true;
}

bool OutputFile::OpenReplacement(const std::string& name) {
  std::error_code error;
  target_ = name;
  if (std::filesystem::is_symlink(name, error)) {
    const std::filesystem::path linked = std::filesystem::canonical(name, error);
    if (!error) target_ = linked.string();
  }
  // The new file keeps the mode of the one it replaces, which must be one
  // this user may write, as for writing it in place.
  mode_t mode = ModeOfNewFile();
  struct stat existing {};
  if (stat(target_.c_str(), &existing) == 0) {
    if (access(target_.c_str(), W_OK) != 0) return Fail();
    mode = existing.st_mode & 07777;
  }

  std::string nameTemplate = target_ + ".partial-XXXXXX";
  if (nameTemplate.size() >= sizeof pendingName) {
    errno = ENAMETOOLONG;
    return Fail();
  }
  // No signal may come between creating the file and being told to remove it.
  const sigset_t signals = CleanUpSignalSet();
  sigset_t before;
  sigprocmask(SIG_BLOCK, &signals, &before);
  const int fd = mkstemp(nameTemplate.data());
  if (fd >= 0) {
    temporary_ = nameTemplate;
    RemoveOnSignal(temporary_);
  }
  const int createError = errno;
  sigprocmask(SIG_SETMASK, &before, nullptr);
  errno = createError;
  if (fd < 0) return Fail();

  if (fchmod(fd, mode) != 0 || (stream_ = fdopen(fd, "wb")) == nullptr) {
    const int fdError = errno;
    close(fd);
    errno = fdError;
    return Fail();
  }
  ownsStream_ = true;
  return true;
}

bool OutputFile::Commit() {
  errno = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) return Fail();
  if (!temporary_.empty() && fsync(fileno(stream_)) != 0) return Fail();
  if (ownsStream_) {
    std::FILE* stream = stream_;
    stream_ = nullptr;
    if (std::fclose(stream) != 0) return Fail();
  }
  if (temporary_.empty()) return true;
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail();
  replacementPending = 0;
  temporary_.clear();
  return true;
}

bool OutputFile::Fail() {
  error_ = errno != 0 ? std::strerror(errno) : "write error";
  Discard();
  return false;
}

void OutputFile::Discard() {
  if (stream_ != nullptr && ownsStream_) std::fclose(stream_);
  stream_ = nullptr;
  if (temporary_.empty()) return;
  unlink(temporary_.c_str());
  replacementPending = 0;
  temporary_.clear();
}
