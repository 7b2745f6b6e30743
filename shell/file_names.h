// File names: UTF-8 everywhere in the program, handed to the file system in
// its own form. On Linux a name is bytes and stays so. On Windows a narrow
// name would be read in the ANSI code page, which cannot hold every name, so
// names travel as UTF-16 there.
#pragma once

#include <fstream>
#include <string>

// Opens `utf8Name` into `file` for reading (std::ios::in is added to `mode`),
// but only when it is a regular file: opening a FIFO or a device could block
// the program. True when the file is open; otherwise `file` is left failed,
// so every read from it fails.
bool OpenRegularFile(std::ifstream& file, const char* utf8Name,
                     std::ios::openmode mode = std::ios::in);

#ifdef _WIN32
// UTF-8 to UTF-16 and back; an invalid sequence becomes U+FFFD.
std::wstring WideFromUtf8(const char* utf8);
std::string Utf8FromWide(const wchar_t* wide);
#endif
