#pragma once
// The machine folder: where this machine's registry hives (and, by convention, the
// demo platform installation) live. $LUMARO_MACHINE when set, otherwise
// $XDG_DATA_HOME/lumaro/machine (~/.local/share/lumaro/machine).

#include <string>

namespace winapi {

std::string MachineFolder();

}  // namespace winapi

namespace winapi {

// The file an INI file name given to the profile functions means: a name without a folder
// part ('/' or '\') is a file of the Windows folder (the machine folder's "Windows"
// sub-folder, created when `createFolder`); any other relative name is taken from the
// current folder, with '\' read as '/'; no name at all is win.ini.
std::string ProfileFilePath(const char* fileName, bool createFolder = false);

}  // namespace winapi
