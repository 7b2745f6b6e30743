// File names: UTF-8 everywhere in the program, handed to the file system in
// its own form. On Linux a name is bytes and stays so. On Windows a narrow
// name would be read in the ANSI code page, which cannot hold every name, so
// names travel as UTF-16 there.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>

// Opens `utf8Name` into `file` for reading (std::ios::in is added to `mode`),
// but only when it is a regular file: opening a FIFO or a device could block
// the program. True when the file is open; otherwise `file` is left failed,
// so every read from it fails.
bool OpenRegularFile(std::ifstream& file, const char* utf8Name,
                     std::ios::openmode mode = std::ios::in);

// True when something exists under the name `utf8Name` (a symbolic link
// counts when what it names exists).
bool FileExists(const char* utf8Name);

// Replaces the contents of the file `utf8Name` with `contents`, so that the
// file holds either its old or its new contents whatever happens: the new
// contents go into a new file in the same folder, are flushed to the disk,
// and that file is renamed over the old one. The replaced file keeps its
// permissions; a symbolic link is followed, so the file it names is
// replaced. A file that exists but is read-only, or is no regular file, is
// left alone (a rename would replace it regardless). False when the file
// could not be replaced, with a short reason in `error`; the old file is
// then as it was and no new file is left behind.
bool ReplaceFileContents(const char* utf8Name, const std::string& contents, std::string* error);

#ifndef _WIN32
// The way ReplaceFileContents replaces a file, for a writer that streams:
// Begin makes the new file beside the one `utf8Name` names, NAME.partial-
// XXXXXX (a name that says what a file left behind by a crash is), with the
// old file's permissions; Commit flushes it to the disk and renames it over
// the old file. Until then, and after any failure, the old file is as it
// was; Discard (and the destructor, unless Commit succeeded) removes the new
// file. The rules of ReplaceFileContents apply: a symbolic link is followed,
// a read-only file or one that is no regular file is refused. False, with a
// short reason in `error`, when a step fails.
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

 private:
  std::FILE* stream_ = nullptr;
  std::string target_;
  std::string temporary_;
};
#endif

#ifdef _WIN32
// UTF-8 to UTF-16 and back; an invalid sequence becomes U+FFFD.
std::wstring WideFromUtf8(const char* utf8);
std::string Utf8FromWide(const wchar_t* wide);
#endif
