#pragma once
// Small helpers over the registry functions for the platform's own keys. Key paths use
// "\"; roots are HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_CLASSES_ROOT.

#include <optional>
#include <string>

#include "winapi/windows.h"

namespace accpac::local::registry {

// The REG_SZ (or REG_EXPAND_SZ, unexpanded) value; nullopt when the key or value is missing.
std::optional<std::string> ReadString(HKEY root, const std::string& path, const std::string& name);
bool KeyExists(HKEY root, const std::string& path);
// Creates the key as needed and writes a REG_SZ value; raises kErrRegistry on failure.
void WriteString(HKEY root, const std::string& path, const std::string& name,
                 const std::string& value);
// Deletes the key with everything below it; true when it is gone afterwards.
bool DeleteTree(HKEY root, const std::string& path);

}  // namespace accpac::local::registry
