// One editor of a file at a time: the lock that every window editing the
// same map takes from reading the file (to see whether another changed it)
// until its own write is done, so that no other write lands in between and
// is overwritten unseen.
#pragma once

// Holds the edit lock of the file `utf8Name` while it lives. Waits for it
// while another program holds it, but at most kMaxWaitMs: an editor that
// hangs with it must not freeze the others, which then go on unlocked.
//
// On Linux it is an flock on the file itself (links followed), taken again
// when the file was renamed over while this one waited, so that it is the
// lock of the file the name gives now; a file that does not exist or cannot
// be opened for reading is not locked. On Windows, where a file that is
// open cannot be renamed over, it is a named mutex of the session, named
// after the file's final path.
//
// Not re-entrant within a program: a second lock of the same file waits
// for the first.
class EditLock {
 public:
  static constexpr int kMaxWaitMs = 2000;

  explicit EditLock(const char* utf8Name);
  ~EditLock();
  EditLock(const EditLock&) = delete;
  EditLock& operator=(const EditLock&) = delete;

  // Whether the lock is held (false after a wait that timed out, or for a
  // file that cannot be locked).
  bool held() const { return held_; }

 private:
  bool held_ = false;
#ifdef _WIN32
  void* mutex_ = nullptr;
#else
  int fd_ = -1;
#endif
};
