// File names: UTF-8 everywhere in the program, handed to the file system in
// its own form. On Linux a name is bytes and stays so. On Windows a narrow
// name would be read in the ANSI code page, which cannot hold every name, so
// names travel as UTF-16 there.
//
// Looking at files by name: whether one exists (file_names.cpp), reading one
// (file_reading.cpp), telling cheaply whether it changed (file_stamp.cpp).
// Writing one safely is safe_replacement.h's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

// The file system's path for the UTF-8 name `utf8Name`: UTF-16 on Windows,
// the bytes as they are elsewhere.
std::filesystem::path PathFromUtf8(const char* utf8Name);

// Opens `utf8Name` into `file` for reading (std::ios::in is added to `mode`),
// but only when it is a regular file: opening a FIFO or a device could block
// the program. True when the file is open; otherwise `file` is left failed,
// so every read from it fails.
bool OpenRegularFile(std::ifstream& file, const char* utf8Name,
                     std::ios::openmode mode = std::ios::in);

// Reads the whole regular file `utf8Name` into `contents`, byte for byte.
// False, with `contents` empty, when it is missing, no regular file, or
// cannot be read.
bool ReadWholeFile(const char* utf8Name, std::string* contents);

// What tells cheaply that the file `utf8Name` may have changed: its
// identity (the inode on Linux; a file renamed over it has another), size
// and modification time; all zero for a file that cannot be looked at.
// Equal stamps can still hide a change written into the same file, of the
// same size, within the file system's time step; only the contents tell
// for sure.
struct FileStamp {
  std::uintmax_t identity = 0;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type modified{};

  bool operator==(const FileStamp& other) const {
    return identity == other.identity && size == other.size && modified == other.modified;
  }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};
FileStamp StampOf(const char* utf8Name);

// True when something exists under the name `utf8Name` (a symbolic link
// counts when what it names exists).
bool FileExists(const char* utf8Name);

#ifdef _WIN32
// UTF-8 to UTF-16 and back; an invalid sequence becomes U+FFFD.
std::wstring WideFromUtf8(const char* utf8);
std::string Utf8FromWide(const wchar_t* wide);
#endif
