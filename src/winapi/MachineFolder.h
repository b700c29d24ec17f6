#pragma once
// The machine folder: where this machine's registry hives (and, by convention, the
// demo platform installation) live. $LUMARO_MACHINE when set, otherwise
// $XDG_DATA_HOME/lumaro/machine (~/.local/share/lumaro/machine).

#include <string>

namespace winapi {

std::string MachineFolder();

}  // namespace winapi
