// Files that are read once: standard input ("-") and pipes (a FIFO,
// /dev/stdin, a process substitution such as /dev/fd/63), which give their
// bytes a single time, so a reader keeps what it read. And why a name cannot
// be read at all, for the messages that name the file.
#pragma once

#include <string>

// The name that means standard input.
constexpr char kStandardInputName[] = "-";

// True for "-" and for a name that is a pipe or a character device (links
// followed): a stream, read once and kept.
bool IsReadOnceName(const char* utf8Name);

// Reads all of standard input ("-") or the stream `utf8Name` into
// `contents`. False, with the reason in `error`, when it cannot be opened or
// read.
bool ReadAllOnce(const char* utf8Name, std::string* contents, std::string* error);

// Why `utf8Name` cannot be read as a file, in a few words ("it does not
// exist", "it is a directory", the system's reason when it does not open);
// empty when it is a regular file that opens, or a stream (IsReadOnceName),
// which is opened only when it is read.
std::string ReadRefusal(const char* utf8Name);

// What a message calls `utf8Name`: "standard input" for "-", the name in
// quotes otherwise.
std::string DescribedFileName(const char* utf8Name);
