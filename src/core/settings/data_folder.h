#pragma once

#include <string>
#include <vector>

namespace linesift {

// Where the program lives and where it keeps its data. Paths are UTF-16 and
// computed anew on every call, so a change of the environment takes effect.

// The folder that holds the running program, without a trailing slash (the
// root folder is "/"); empty when it cannot be found.
std::u16string GetProgramFolder();

// True when this copy keeps its data beside the program: its folder is
// writable by the user and holds no installed-copy marker (see
// InstalledMarkerName). False when the program folder is unknown.
bool IsPortableCopy();

// The folder of Settings.xml, ending in a slash. LINESIFT_DATA_DIR, when set
// and not empty, wins; otherwise the program folder for a portable copy, else
// $XDG_CONFIG_HOME (or ~/.config) followed by Quellora/Linesift/, else the
// program folder followed by Data/. Nothing is created.
std::u16string GetDataFolder();

// Creates the data folder with any missing parents. True when something of
// that name exists afterwards.
bool EnsureDataFolder();

// The full path of Settings.xml in the data folder.
std::u16string GetSettingsFilePath();

// The user manual's contents page, index.html, as an absolute path without
// "." or ".." parts: the copy in the program folder's "manual" folder (a
// program run from its build folder), else the installed one in
// share/doc/linesift/manual beside the program's bin folder. Empty when
// neither exists.
std::u16string GetHelpFilePath();
// The places GetHelpFilePath looks, in its order, normalised; empty when the
// program folder is unknown. For telling the user where no manual was found.
std::vector<std::u16string> GetHelpFileCandidates();

// The name of the file that the install step writes beside an installed
// program to tell it from a portable copy.
const char* InstalledMarkerName();

// Makes GetProgramFolder answer folder instead of the running program's
// folder; an empty folder restores the real one. For tests.
void SetProgramFolderForTesting(const std::u16string& folder);

}  // namespace linesift
