#pragma once
// The program's version information.

#include <string>

namespace lumaro {

const std::string& ProductName();    // "Lumaro"
const std::string& CompanyName();    // "Ostrel"
const std::string& VersionString();  // "major.minor.patch"

// The running executable's file name without folder and extension (what Visual Basic's
// App.EXEName gives); used as the start of error sources.
std::string ExecutableName();

}  // namespace lumaro
