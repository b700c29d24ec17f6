#pragma once
// One registry value stored or read straight through the Windows functions, for tests that
// prepare a key as another program could or check what was stored. Header only: include it
// where the registry functions are linked.

#include <string>
#include <utility>

#include "winapi/windows.h"

namespace lumaro::test {

// Creates the key as needed and, with `bytes`, stores them under `name` (nullptr: the
// default value); the Windows return code.
inline LONG StoreRegValue(HKEY root, const std::string& path, const char* name, DWORD type,
                          const std::string* bytes) {
    HKEY key = nullptr;
    LONG rc =
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS && bytes)
        rc = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes->data()),
                            static_cast<DWORD>(bytes->size()));
    if (key) RegCloseKey(key);
    return rc;
}
inline LONG StoreRegValue(HKEY root, const std::string& path, const char* name, DWORD type,
                          const std::string& bytes) {
    return StoreRegValue(root, path, name, type, &bytes);
}

// Creates the key (and its parents) with no values; the Windows return code.
inline LONG CreateRegKey(HKEY root, const std::string& path) {
    return StoreRegValue(root, path, nullptr, REG_NONE, nullptr);
}

inline LONG StoreRegText(HKEY root, const std::string& path, const char* name,
                         const std::string& text) {
    return StoreRegValue(root, path, name, REG_SZ, text + '\0');
}

// The type and bytes stored; when they cannot be read, the error code | 0x80000000 as the
// type and no bytes.
inline std::pair<DWORD, std::string> LoadRegValue(HKEY root, const std::string& path,
                                                  const char* name) {
    HKEY key = nullptr;
    DWORD type = 0, size = 0;
    LONG rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (rc == ERROR_SUCCESS) rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    std::string data(size, '\0');
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                              &size);
    if (key) RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return {DWORD(rc) | 0x80000000u, ""};
    return {type, data.substr(0, size)};
}

// A text value up to its NUL, or "<error N>".
inline std::string LoadRegText(HKEY root, const std::string& path, const char* name) {
    auto [type, data] = LoadRegValue(root, path, name);
    if (type & 0x80000000u) return "<error " + std::to_string(type & 0x7FFFFFFFu) + ">";
    return data.substr(0, data.find('\0'));
}

}  // namespace lumaro::test
