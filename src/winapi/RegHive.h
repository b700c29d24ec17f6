#pragma once
// One registry hive (the keys under one root) and its file, in the text format of the
// Windows registry editor (winapi/RegText.h reads and writes its values):
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Vendor]
//   @="default value"
//   "Number"=dword:0000002a
//
// Key and value names are matched ignoring case and keep the spelling they were created
// with. Subkeys are kept in the order Windows lists them (by upper-cased name), values in
// creation order. Lines that cannot be read (bad hex, a broken section header and the lines
// under it, comments) are kept with the key they follow and written back unchanged. A file
// whose first line is not a registry editor header cannot be read at all.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "winapi/windows.h"

namespace winapi::detail {

struct RegValue {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;  // the bytes as the ANSI functions see them (strings in UTF-8)
};

// Names compare as Windows compares them: by their upper-cased form, character by character
// (UTF-8 decoded; each character of the Basic Multilingual Plane upper-cased on its own, as
// Windows' table does). Orders subkeys as Windows lists them.
struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};
bool NamesEqual(std::string_view a, std::string_view b);
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const;
};
struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return NamesEqual(a, b); }
};

struct RegKey {
    std::string name;
    // Keyed by a view of the child's own name (which never changes once created).
    std::map<std::string_view, std::unique_ptr<RegKey>, NameLess> children;
    std::vector<RegValue> values;   // in creation order
    std::vector<std::string> kept;  // unreadable lines, written back unchanged

    RegKey* Child(std::string_view childName) const;
    RegKey& AddChild(std::string_view childName);  // the existing one when present
    bool RemoveChild(std::string_view childName);
    const RegValue* FindValue(std::string_view valueName) const;
    void SetValue(std::string_view valueName, DWORD type, std::string data);
    bool DeleteValue(std::string_view valueName);

private:
    // Position of each value by name, kept once a key holds many values so that finding one
    // does not search them all (built while the key is changed, so reads never write).
    static constexpr size_t kIndexFrom = 16;
    using Index = std::unordered_map<std::string, size_t, NameHash, NameEqual>;
    std::unique_ptr<Index> index_;
    void Reindex();
};

class RegHive {
public:
    // Deepest key path accepted (as on Windows).
    static constexpr size_t kMaxDepth = 512;

    explicit RegHive(std::string rootName);
    static std::shared_ptr<RegHive> Parse(std::string rootName, const std::string& content);

    // False when the file could not be read at all; such a hive is never written.
    bool readable() const { return readable_; }
    std::string Serialize() const;

    const std::string& rootName() const { return rootName_; }
    RegKey& root() { return root_; }
    const RegKey& root() const { return root_; }
    RegKey* Find(const std::vector<std::string_view>& path) const;

private:
    std::string rootName_;
    RegKey root_;
    std::vector<std::string> preamble_;  // unreadable lines before the first key
    bool readable_ = true;
    mutable size_t sizeHint_ = 0;  // the size of the text last written
};

// Splits "a\b\c" into its names; false for an empty name inside the path. One trailing
// backslash is allowed.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& parts);

}  // namespace winapi::detail
