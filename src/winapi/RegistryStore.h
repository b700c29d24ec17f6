#pragma once
// Where the registry functions keep each root: one file per hive in the machine folder,
// "<machine folder>/HKEY_LOCAL_MACHINE.reg" and so on. HKEY_CLASSES_ROOT is the view of
// HKEY_LOCAL_MACHINE\Software\Classes and so lives in the HKEY_LOCAL_MACHINE file.

#include <string>

#include "winapi/windows.h"

namespace winapi {

// The hive file of a predefined root key; "" for any other handle.
std::string HiveFilePath(HKEY root);

}  // namespace winapi
