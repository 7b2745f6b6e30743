#include "tools/output_file.h"

#include <signal.h>
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
  RemoveLeftoverReplacements(name.c_str());
  // No signal may come between creating the file and being told to remove it.
  const sigset_t signals = CleanUpSignalSet();
  sigset_t before;
  sigprocmask(SIG_BLOCK, &signals, &before);
  const bool begun = replacement_.Begin(name.c_str(), &error_) &&
                     replacement_.temporaryName().size() < sizeof pendingName;
  if (begun) RemoveOnSignal(replacement_.temporaryName());
  sigprocmask(SIG_SETMASK, &before, nullptr);
  if (!begun) {
    if (error_.empty()) error_ = std::strerror(ENAMETOOLONG);
    replacement_.Discard();
    return false;
  }
  stream_ = replacement_.stream();
  return true;
}

bool OutputFile::Commit() {
  if (replacement_.stream() != nullptr) {
    stream_ = nullptr;
    const bool committed = replacement_.Commit(&error_);
    replacementPending = 0;
    return committed;
  }
  errno = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) return Fail();
  if (ownsStream_) {
    std::FILE* stream = stream_;
    stream_ = nullptr;
    ownsStream_ = false;
    if (std::fclose(stream) != 0) return Fail();
  }
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
  ownsStream_ = false;
  replacement_.Discard();
  replacementPending = 0;
}
