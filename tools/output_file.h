// Where pathwick-record writes its GIF, without ever destroying a file.
//
// A regular file (or a name that does not exist yet) is written as a new
// file beside it, NAME.partial-XXXXXX, which replaces NAME with one rename
// once its last byte is written and synced (a FileReplacement): until then
// NAME stays as it was, byte for byte. A failure, or SIGINT, SIGTERM or
// SIGHUP, removes the new file; after SIGKILL it is left behind under its
// telling name, and the next recording to NAME removes it. A symbolic link
// is followed: its target is replaced or created. A file that a rename would
// change otherwise than in its contents (one with other hard links, or an
// owner or group the new file cannot get), a read-only one, and one that
// cannot be renamed over (a mount point) are refused: a recording is a new
// file, and is never written into an old one.
//
// "-" is standard output, and a FIFO or a device is written directly, as
// neither can be replaced by a rename.
#pragma once

#include <cstdio>
#include <string>

#include "shell/files/safe_replacement.h"

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Discards what was written unless Commit succeeded.
  ~OutputFile();

  // Opens `name` for writing. False, with the reason in error(), when it
  // cannot be written.
  bool Open(const std::string& name);

  // The stream to write to.
  std::FILE* stream() const { return stream_; }

  // Flushes what was written and, for a regular file, syncs it and puts it in
  // place of the output. False, with the reason in error(), when any of it
  // fails; the output is then left as it was.
  bool Commit();

  const std::string& error() const { return error_; }

 private:
  bool OpenDirectly(const std::string& name);
  bool OpenReplacement(const std::string& name);
  bool Fail();
  void Discard();

  std::FILE* stream_ = nullptr;
  bool ownsStream_ = false;  // a file opened directly, closed here
  FileReplacement replacement_;
  std::string error_;
};
