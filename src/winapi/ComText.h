#pragma once
// Narrow/wide text helpers for the COM functions (UTF-8 <-> UTF-16) and class IDs as text.

#include <string>

#include "winapi/windows.h"

namespace winapi {

std::u16string Widen(const std::string& text);
std::string Narrow(const std::u16string& text);
std::string Narrow(LPCOLESTR text);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as Windows writes class IDs.
std::string ClsidToString(const CLSID& clsid);
// ProgID -> class ID text through HKEY_CLASSES_ROOT\<ProgID>\Clsid; "" when not registered.
std::string ClsidFromProgIdText(const std::string& progId);

}  // namespace winapi
