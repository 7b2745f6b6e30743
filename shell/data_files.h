// The files the program ships with, the maze and the wall texture, found by
// their default names: in the working directory, or else in the data folder
// of the installation the running program belongs to.
#pragma once

#include <filesystem>
#include <string>

// The data folder of the installation that `program` (the program file's
// full path) belongs to: PREFIX/share/pathwick for PREFIX/bin/pathwick on
// Linux, in the layout the build installs, and the program's own folder on
// Windows.
std::filesystem::path InstalledDataFolder(const std::filesystem::path& program);

// The UTF-8 name to read the data file `name` (a plain file name such as
// "MazeMap.txt") from: `name` itself when the working directory has a file
// of that name; else the file in InstalledDataFolder(program) when there is
// one there; else `name` again, so that a missing file stays missing as it
// was named. An empty `program` looks in the working directory only.
std::string FindDataFile(const char* name, const std::filesystem::path& program);

// The same for the running program.
std::string FindDataFile(const char* name);

#ifndef _WIN32
// The folder of the program's gettext catalogs (LANG/LC_MESSAGES/pathwick.mo)
// for `program`: "locale" beside it, where the build tree keeps them, when
// there is such a folder; else PREFIX/share/locale of the installation it
// belongs to (/usr/share/locale for /usr/bin/pathwick). Empty for an empty
// `program`.
std::filesystem::path MessageCatalogFolder(const std::filesystem::path& program);

// The same for the running program.
std::filesystem::path MessageCatalogFolder();
#endif
