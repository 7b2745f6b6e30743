// The files the program ships with, the maze and the wall texture, found by
// their default names: in the working directory, or else in the data folder
// of the installation the running program belongs to.
#pragma once

#include <filesystem>
#include <optional>
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

// The folder of the user's own copy of the maze, for edits that must not
// reach the installed one: Documents\Pathwick on Windows,
// $XDG_DATA_HOME/pathwick (by default ~/.local/share/pathwick) elsewhere.
// Empty when the system does not tell.
std::filesystem::path UserMapFolder();

// The UTF-8 name of the map file that --edit edits, given the map `name`
// that the command line named, or the default one (MazeMap.txt): `name`
// itself, unless it is a file in InstalledDataFolder(program) by any name
// (the plain name in that folder, a path, a symbolic or hard link to it),
// or would be created there: the installed maze is never edited. Then the
// file of that name in `userFolder`, made a copy of the installed one when
// it does not exist yet, and `notice` says where the edits go, or (a
// warning) why the copy could not be made. Without a `userFolder` no map may
// be edited: nullopt, with a warning. `level` is None, and `notice` empty,
// when there is nothing to say.
enum class NoticeLevel { None, Info, Warning };
std::optional<std::string> MapFileToEdit(const char* name, const std::filesystem::path& program,
                                         const std::filesystem::path& userFolder,
                                         NoticeLevel* level, std::string* notice);

// The same for the running program and the user's folder.
std::optional<std::string> MapFileToEdit(const char* name, NoticeLevel* level, std::string* notice);

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
