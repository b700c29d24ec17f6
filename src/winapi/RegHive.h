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
#include <mutex>
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

// One key. A key read from a file keeps the text of its value lines until its values are
// first asked for (most keys of a large hive never are), and the lines of the keys below it
// until its subkeys are first asked for (the keys below the second level of a large hive
// mostly never are): then they are read, once, safely from any number of threads. Keys
// never asked for are written back as they were read.
struct RegKey {
    // Keyed by a view of the child's own name (which never changes once created).
    using Subkeys = std::map<std::string_view, std::unique_ptr<RegKey>, NameLess>;

    std::string name;

    const Subkeys& children() const;

    const std::vector<RegValue>& Values() const;   // in creation order
    const std::vector<std::string>& Kept() const;  // unreadable lines, written back unchanged

    RegKey* Child(std::string_view childName) const;
    RegKey& AddChild(std::string_view childName);  // the existing one when present
    bool RemoveChild(std::string_view childName);
    const RegValue* FindValue(std::string_view valueName) const;
    void SetValue(std::string_view valueName, DWORD type, std::string data);
    bool DeleteValue(std::string_view valueName);
    // The key's lines as they were read, while its values have never been asked for (to be
    // called only by the hive's one user, when it writes the hive).
    bool Unread(std::string_view& lines) const {
        lines = unread_;
        return lazy_ && !read_;
    }

private:
    friend class RegHive;
    friend class KeyReader;
    // Position of each value by name, kept once a key holds many values so that finding one
    // does not search them all (built while the key is changed or loaded).
    static constexpr size_t kIndexFrom = 16;
    using Index = std::unordered_map<std::string, size_t, NameHash, NameEqual>;
    struct Data {
        std::vector<RegValue> values;
        std::vector<std::string> kept;
        std::unique_ptr<Index> index;
    };
    Data& Own();  // the values and lines, created when first needed
    void Load() const;
    // Reads a key's lines (those below its header, up to the next header of a key of the
    // hive) into it. A header of another hive or a deletion stops the reading of values: the
    // lines from there on are kept unchanged.
    static void ReadLines(RegKey& key, std::string_view text);
    const RegValue* FindRead(std::string_view valueName) const;
    void Reindex();
    void Put(std::string_view valueName, DWORD type, std::string data);
    RegKey& Add(std::string_view childName);  // AddChild, with the subkeys as they stand
    void Expand() const;

    // The lines of the keys below, not read yet: each part starts with the header of one of
    // them and runs up to the next header of a key outside.
    struct Below {
        std::vector<std::string_view> parts;
        size_t depth = 0;                       // the names in this key's path
        const std::string* rootName = nullptr;  // the hive's
        std::once_flag once;
        bool read = false;
    };
    Subkeys children_;
    std::unique_ptr<Below> below_;  // set only while the hive is read

    // The lines below the key's header in the file it was read from (owned by the hive), not
    // read yet: read by Load, or written back as they are. Set only while the hive is read.
    std::string_view unread_;
    bool lazy_ = false;
    mutable bool read_ = false;
    mutable std::once_flag loaded_;
    mutable std::unique_ptr<Data> data_;
};

class RegHive {
public:
    // Deepest key path accepted (as on Windows).
    static constexpr size_t kMaxDepth = 512;

    explicit RegHive(std::string rootName);
    static std::shared_ptr<RegHive> Parse(std::string rootName, std::string content);

    // False when the file could not be read at all; such a hive is never written.
    bool readable() const { return readable_; }
    std::string Serialize() const;

    const std::string& rootName() const { return rootName_; }
    RegKey& root() { return root_; }
    const RegKey& root() const { return root_; }
    RegKey* Find(const std::vector<std::string_view>& path) const;
    // Copies the keys, values and kept lines of `from` into `to`; a value `to` already has
    // stays as it is.
    static void Graft(const RegKey& from, RegKey& to);

private:
    static void WriteKey(const RegKey& key, std::string& path, bool isRoot, std::string& out);

    std::string rootName_;
    std::string text_;  // the file's text, which unread keys point into
    RegKey root_;
    std::vector<std::string> preamble_;  // unreadable lines before the first key
    bool readable_ = true;
    mutable size_t sizeHint_ = 0;  // the size of the text last written
};

// Splits "a\b\c" into its names; false for an empty name inside the path. One trailing
// backslash is allowed.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& parts);

}  // namespace winapi::detail
