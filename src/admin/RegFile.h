#pragma once
// The registry as an administrator handles it: keys named as the Windows reg tool names
// them, values shown and entered as text, and whole key trees written to and read from
// registry files (.reg) in the registry editor's format:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Vendor]
//   @="default value"
//   "Text"="C:\\Path \"quoted\""
//   "Number"=dword:0000002a
//   "Bytes"=hex:01,02,ff
//   "Expand"=hex(2):25,00,54,00,00,00      REG_EXPAND_SZ (and REG_MULTI_SZ) as UTF-16LE
//   "Gone"=-                               (import only) deletes the value
//   [-HKEY_LOCAL_MACHINE\Software\Old]     (import only) deletes the key and its subkeys
//
// Everything goes through the Reg*A functions, so it works on whichever registry those
// functions reach. Failures raise RuntimeError whose number is the Windows error code
// (RegFileSyntaxError for a registry file that cannot be read).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/RuntimeError.h"
#include "winapi/windows.h"

namespace lumaro {

// A key: one of the four roots and a path below it ("" for the root itself).
struct RegKeyName {
    HKEY root = nullptr;
    std::string rootName;  // the full name, "HKEY_LOCAL_MACHINE"
    std::string subKey;    // names separated by '\'
    std::string FullName() const;
};

// "HKLM\Software\X", "HKEY_LOCAL_MACHINE\Software\X" (roots: HKEY_LOCAL_MACHINE/HKLM,
// HKEY_CURRENT_USER/HKCU, HKEY_CLASSES_ROOT/HKCR, HKEY_USERS/HKU, any letter case; one
// trailing backslash allowed). False for an unknown root or an empty name inside the path.
bool ParseRegKeyName(std::string_view text, RegKeyName& out);

// A value as the ANSI functions see it: strings in the narrow encoding with their
// terminating NUL(s), a DWORD as 4 little-endian bytes.
struct RegValueData {
    std::string name;  // "" is the key's default value
    DWORD type = REG_NONE;
    std::string data;
};

struct RegKeyTree {
    std::string name;                  // full name, root included
    std::vector<RegValueData> values;  // in the order the registry lists them
    std::vector<RegKeyTree> subkeys;   // likewise
};

// "REG_SZ", "REG_DWORD", ...; "REG_0x<n>" for a type without a name.
std::string RegTypeName(DWORD type);
// The type named (any letter case); false when the name is unknown.
bool ParseRegTypeName(std::string_view name, DWORD& type);

// A value's data as text, the way the reg tool shows it: strings as they are (a multi-
// string's items joined by "\0"), numbers as 0x<hex>, anything else as hex digits.
std::string RegDataText(const RegValueData& value);
// The data of a value of `type` from its text: the reverse of RegDataText (numbers also
// in decimal). False, with a message in `error`, for text that does not fit the type.
bool ParseRegDataText(DWORD type, std::string_view text, std::string& data, std::string& error);

// The text of a Windows error code, as the system words it.
std::string RegErrorText(LONG code);

// Reads a key with its values and, when `recursive`, its whole subtree.
RegKeyTree ReadRegKey(const RegKeyName& key, bool recursive);
// One value of a key (name ignoring case); false when the key has no such value.
bool ReadRegValue(const RegKeyName& key, const std::string& valueName, RegValueData& value);
// Creates the key (and any missing keys above it); sets one value in it.
void SetRegValue(const RegKeyName& key, const std::string& valueName, DWORD type,
                 const std::string& data);
void CreateRegKey(const RegKeyName& key);
// Deletes one value; deletes a key with all its subkeys. A root cannot be deleted.
void DeleteRegValue(const RegKeyName& key, const std::string& valueName);
void DeleteRegKey(const RegKeyName& key);

// ---- Registry files ---------------------------------------------------------------

// The registry file of a key and its subtree (UTF-8, CR LF line ends).
std::string ExportRegText(const RegKeyName& key);
// Writes it to `fileName`, replacing an existing file only when `overwrite`; the file is
// written whole or not at all.
void ExportRegFile(const RegKeyName& key, const std::string& fileName, bool overwrite);

// What a registry file asks for, in file order.
struct RegFileKey {
    RegKeyName key;
    bool remove = false;  // [-...]
    size_t line = 0;      // where the key's header stands
    struct Value {
        RegValueData value;
        bool remove = false;  // "name"=-
        size_t line = 0;
    };
    std::vector<Value> values;
};

// A registry file that cannot be read: the number of the first faulty line (1-based)
// and what is wrong with it.
class RegFileSyntaxError : public RuntimeError {
public:
    RegFileSyntaxError(size_t line, const std::string& problem);
    size_t Line() const { return line_; }

private:
    size_t line_;
};

// Reads the whole text (UTF-8 or UTF-16LE with its byte-order mark; the header
// "Windows Registry Editor Version 5.00" or "REGEDIT4"; blank lines and ";" comments
// allowed; hex data may go on over lines ending in "\"). Raises RegFileSyntaxError at
// the first line that is not understood.
std::vector<RegFileKey> ParseRegText(const std::string& text);

struct RegImportSummary {
    size_t keys = 0;     // keys created or updated
    size_t values = 0;   // values set
    size_t deleted = 0;  // keys and values deleted
};

// Imports a registry file. The whole file is read and checked first, and every hive it
// touches must be writable: on any such fault nothing is imported.
RegImportSummary ImportRegFile(const std::string& fileName);
RegImportSummary ImportRegText(const std::string& text);

}  // namespace lumaro
