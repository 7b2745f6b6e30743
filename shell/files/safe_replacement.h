// Writing a file safely: its contents replaced whole or not at all, and the
// partial files that a killed writer left behind swept away. Linux's writer
// is safe_replacement_posix.cpp, Windows' safe_replacement_win32.cpp.
#pragma once

#include <cstdio>
#include <string>

// Replaces the contents of the file `utf8Name` with `contents`, so that the
// file holds either its old or its new contents whatever happens: the new
// contents go into a new file in the same folder, are flushed to the disk,
// and that file is renamed over the old one. The replaced file keeps its
// permissions (on Linux its mode, owner and group; on Windows its hidden,
// system, archive and not-indexed attributes and its access control list);
// a symbolic link is followed, to a target that exists or not,
// so the file it names is replaced or created. A file that exists but is
// read-only, or is no regular file, is left alone (a rename would replace it
// regardless).
//
// Where a rename would change what the user has, or cannot be done, an
// existing file that may be written is written where it is instead, as
// editors do (the new bytes, then the file cut to their length, flushed to
// the disk): a crash in between can leave it mixed. On Linux that is when
// the file has other hard links, or an owner or group that the new file
// could not get, or the folder refuses the rename (a mount point on the
// file, a folder that may not be written, a sticky folder); on Windows when
// the file has other hard links, an access control list that the new file
// cannot be given, or the new file or the rename is refused (access denied,
// or another program holds the file open).
//
// False when the file could not be written, with a short reason in `error`;
// the old file is then as it was and no new file is left behind.
bool ReplaceFileContents(const char* utf8Name, const std::string& contents, std::string* error);

// Removes the NAME.partial-... files beside the file `utf8Name` names that
// a writer killed while it wrote left behind: those that no running program
// holds (a writer locks its new file until it is renamed; on Windows it
// keeps it open, unshared) and that are older than a few seconds.
void RemoveLeftoverReplacements(const char* utf8Name);

#ifndef _WIN32
// The way ReplaceFileContents replaces a file, for a writer that streams:
// Begin makes the new file beside the one `utf8Name` names, NAME.partial-
// XXXXXX (a name that says what a file left behind by a crash is), with the
// old file's permissions, owner and group; Commit flushes it to the disk and
// renames it over the old file. Until then, and after any failure, the old
// file is as it was; Discard (and the destructor, unless Commit succeeded)
// removes the new file. The rules of ReplaceFileContents apply, but nothing
// is written in place: where ReplaceFileContents would, Begin or Commit
// fails and CanWriteInPlace() says so. False, with a short reason in
// `error` that names what is wrong, when a step fails.
class FileReplacement {
 public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  bool Begin(const char* utf8Name, std::string* error);
  bool Commit(std::string* error);
  void Discard();

  // The new file while it is being written; null before Begin and after
  // Commit or Discard.
  std::FILE* stream() const { return stream_; }
  // Its name, for a signal handler that must remove it; empty when none.
  const std::string& temporaryName() const { return temporary_; }
  // The file that is replaced, links followed; set by Begin.
  const std::string& target() const { return target_; }
  // After Begin or Commit failed: whether the file exists and could be
  // written where it is, though not replaced safely.
  bool CanWriteInPlace() const { return canWriteInPlace_; }

 private:
  bool Fail(const std::string& reason, bool canWriteInPlace, std::string* error);

  std::FILE* stream_ = nullptr;
  std::string target_;
  std::string temporary_;
  bool targetExists_ = false;
  bool canWriteInPlace_ = false;
};
#endif
