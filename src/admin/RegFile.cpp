#include "admin/RegFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "common/TextUtil.h"
#include "common/VersionInfo.h"
#include "winapi/ComText.h"
#include "winapi/RegText.h"
#include "winapi/RegistryStore.h"

namespace lumaro {

namespace {

namespace regtext = winapi::regtext;
using regtext::HexDigit;
using regtext::IsBlank;
using regtext::Trim;

constexpr LONG kErrorFileExists = 80;
// Deepest key path the registry accepts, and longest value name (UTF-16 characters).
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxValueName = 16383;

std::string Source() { return ExecutableName() + ".RegFile"; }

[[noreturn]] void Fail(LONG code, const std::string& what) {
    throw RuntimeError(code, Source(), RegErrorText(code) + " (" + what + ")");
}

void Check(LONG code, const std::string& what) {
    if (code != ERROR_SUCCESS) Fail(code, what);
}

using Key = winapi::RegKeyHandle;

std::string JoinKey(const std::string& base, const std::string& name) {
    return base.empty() ? name : base + "\\" + name;
}

uint64_t LittleEndian(const std::string& data, size_t n) {
    uint64_t v = 0;
    for (size_t i = n; i-- > 0;) v = (v << 8) | uint8_t(data[i]);
    return v;
}

std::string HexNumber(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

void WriteKeyText(const RegKeyTree& key, bool isRoot, std::string& out) {
    // A root is written only for its values, as the hive itself does.
    if (!isRoot || !key.values.empty()) {
        out += "[" + key.name + "]\r\n";
        for (const RegValueData& v : key.values) regtext::AppendValue(v.name, v.type, v.data, out);
        out += "\r\n";
    }
    for (const RegKeyTree& sub : key.subkeys) WriteKeyText(sub, false, out);
}

// ---- Reading a registry file ------------------------------------------------------------

[[noreturn]] void SyntaxError(size_t line, const std::string& problem) {
    throw RegFileSyntaxError(line, problem);
}

// The message for a value line that cannot be read.
const char* Problem(regtext::Error error) {
    switch (error) {
        case regtext::Error::None:
            break;
        case regtext::Error::NotAValue:
            return "not a key, a value or a comment";
        case regtext::Error::UnclosedName:
            return "the value name has no closing quote";
        case regtext::Error::NoEquals:
            return "'=' expected after the value name";
        case regtext::Error::UnclosedQuote:
            return "the quoted text has no closing quote";
        case regtext::Error::TextAfterQuote:
            return "text after the closing quote";
        case regtext::Error::BadDword:
            return "dword: needs 1 to 8 hex digits";
        case regtext::Error::BadHexType:
            return "hex(n): needs a type number of 1 to 8 hex digits";
        case regtext::Error::BadHexBytes:
            return "hex data must be bytes of one or two hex digits separated by commas";
        case regtext::Error::OddUtf16:
            return "a string in hex form needs an even number of bytes (UTF-16)";
        case regtext::Error::UnknownData:
            return "the data is not a quoted text, dword:, hex:, hex(n): or - (to delete the "
                   "value)";
    }
    return "";
}

std::string ReadWholeFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) Fail(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED, fileName);
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) Fail(ERROR_INVALID_DATA, fileName);
    return content.str();
}

void DeleteTree(HKEY root, const std::string& subKey, const std::string& fullName) {
    std::vector<std::string> children;
    {
        Key key;
        Check(RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, key.out()), fullName);
        std::vector<char> name(256);
        for (DWORD i = 0;; ++i) {
            LONG rc = RegEnumKeyA(key.get(), i, name.data(), DWORD(name.size()));
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc == ERROR_MORE_DATA) {
                name.resize(name.size() * 4);
                --i;
                continue;
            }
            Check(rc, fullName);
            children.emplace_back(name.data());
        }
    }
    for (const std::string& child : children)
        DeleteTree(root, JoinKey(subKey, child), fullName + "\\" + child);
    Check(RegDeleteKeyA(root, subKey.c_str()), fullName);
}

void ImportKey(const RegFileKey& k, RegImportSummary& summary) {
    const std::string where = "line " + std::to_string(k.line) + ", " + k.key.FullName();
    if (k.remove) {
        Key probe;
        if (RegOpenKeyExA(k.key.root, k.key.subKey.c_str(), 0, KEY_READ, probe.out()) ==
            ERROR_SUCCESS) {
            DeleteTree(k.key.root, k.key.subKey, k.key.FullName());
            ++summary.deleted;
        }
        return;
    }
    Key key;
    Check(RegCreateKeyExA(k.key.root, k.key.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE | KEY_QUERY_VALUE, nullptr, key.out(), nullptr),
          where);
    ++summary.keys;
    for (const RegFileKey::Value& v : k.values) {
        const std::string& n = v.value.name;
        if (v.remove) {
            LONG rc = RegDeleteValueA(key.get(), n.c_str());
            if (rc == ERROR_SUCCESS)
                ++summary.deleted;
            else if (rc != ERROR_FILE_NOT_FOUND)
                Fail(rc, "line " + std::to_string(v.line));
            continue;
        }
        Check(RegSetValueExA(key.get(), n.c_str(), 0, v.value.type,
                             reinterpret_cast<const BYTE*>(v.value.data.data()),
                             DWORD(v.value.data.size())),
              "line " + std::to_string(v.line));
        ++summary.values;
    }
}

}  // namespace

// ---- Names, types and data as text -------------------------------------------------------

std::string RegKeyName::FullName() const {
    return subKey.empty() ? rootName : rootName + "\\" + subKey;
}

bool ParseRegKeyName(std::string_view text, RegKeyName& out) {
    size_t slash = text.find('\\');
    std::string_view root = text.substr(0, slash);
    std::string_view sub =
        slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    if (!sub.empty() && sub.back() == '\\') sub.remove_suffix(1);
    const winapi::RegRoot* found = winapi::FindRegRoot(root);
    if (!found) return false;
    std::vector<std::string_view> parts;
    // HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes: two levels already used.
    const size_t depth = found->key == HKEY_CLASSES_ROOT ? kMaxKeyDepth - 2 : kMaxKeyDepth;
    if (!regtext::SplitPath(sub, parts) || parts.size() > depth) return false;
    if (sub.find_first_of("\r\n") != std::string_view::npos) return false;
    out.root = found->key;
    out.rootName = found->name;
    out.subKey = std::string(sub);
    return true;
}

std::string RegTypeName(DWORD type) {
    switch (type) {
        case REG_NONE:
            return "REG_NONE";
        case REG_SZ:
            return "REG_SZ";
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ";
        case REG_BINARY:
            return "REG_BINARY";
        case REG_DWORD:
            return "REG_DWORD";
        case REG_DWORD_BIG_ENDIAN:
            return "REG_DWORD_BIG_ENDIAN";
        case REG_LINK:
            return "REG_LINK";
        case REG_MULTI_SZ:
            return "REG_MULTI_SZ";
        case REG_QWORD:
            return "REG_QWORD";
        default:
            return "REG_" + HexNumber(type);
    }
}

bool ParseRegTypeName(std::string_view name, DWORD& type) {
    static const DWORD kTypes[] = {REG_NONE,   REG_SZ,       REG_EXPAND_SZ,
                                   REG_BINARY, REG_DWORD,    REG_DWORD_BIG_ENDIAN,
                                   REG_LINK,   REG_MULTI_SZ, REG_QWORD};
    for (DWORD t : kTypes) {
        if (EqualsIgnoreCase(name, RegTypeName(t))) {
            type = t;
            return true;
        }
    }
    return false;
}

std::string RegDataText(const RegValueData& value) {
    const std::string& d = value.data;
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_LINK:
            return d.substr(0, d.find('\0'));
        case REG_MULTI_SZ: {
            std::string text = d;
            while (!text.empty() && text.back() == '\0') text.pop_back();
            return ReplaceAll(text, std::string(1, '\0'), "\\0");
        }
        case REG_DWORD:
            if (d.size() == 4) return HexNumber(LittleEndian(d, 4));
            break;
        case REG_DWORD_BIG_ENDIAN:
            if (d.size() == 4)
                return HexNumber(uint32_t(uint8_t(d[0])) << 24 | uint32_t(uint8_t(d[1])) << 16 |
                                 uint32_t(uint8_t(d[2])) << 8 | uint32_t(uint8_t(d[3])));
            break;
        case REG_QWORD:
            if (d.size() == 8) return HexNumber(LittleEndian(d, 8));
            break;
        default:
            break;
    }
    static const char* digits = "0123456789ABCDEF";
    std::string hex;
    for (char c : d) {
        hex.push_back(digits[uint8_t(c) >> 4]);
        hex.push_back(digits[uint8_t(c) & 15]);
    }
    return hex;
}

bool ParseRegDataText(DWORD type, std::string_view text, std::string& data, std::string& error) {
    data.clear();
    auto number = [&](uint64_t max, uint64_t& v) {
        std::string_view t = Trim(text);
        int base = 10;
        if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
            base = 16;
            t.remove_prefix(2);
        }
        if (t.empty()) return false;
        v = 0;
        for (char c : t) {
            int d = HexDigit(c);
            if (d < 0 || d >= base) return false;
            if (v > (max - uint64_t(d)) / uint64_t(base)) return false;
            v = v * uint64_t(base) + uint64_t(d);
        }
        return true;
    };
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_LINK:
            data = std::string(text);
            data.push_back('\0');
            return true;
        case REG_MULTI_SZ:
            data = ReplaceAll(std::string(text), "\\0", std::string(1, '\0'));
            data.push_back('\0');
            if (!text.empty()) data.push_back('\0');
            return true;
        case REG_DWORD:
        case REG_DWORD_BIG_ENDIAN: {
            uint64_t v = 0;
            if (!number(0xFFFFFFFFull, v)) {
                error = "A DWORD is a whole number from 0 to 4294967295 (or 0x0 to 0xffffffff).";
                return false;
            }
            for (int i = 0; i < 4; ++i) data.push_back(char((v >> (8 * i)) & 0xFF));
            if (type == REG_DWORD_BIG_ENDIAN)
                std::swap(data[0], data[3]), std::swap(data[1], data[2]);
            return true;
        }
        case REG_QWORD: {
            uint64_t v = 0;
            if (!number(~0ull, v)) {
                error =
                    "A QWORD is a whole number from 0 to 18446744073709551615 (or 0x0 to "
                    "0xffffffffffffffff).";
                return false;
            }
            for (int i = 0; i < 8; ++i) data.push_back(char((v >> (8 * i)) & 0xFF));
            return true;
        }
        default: {
            std::string digits;
            for (char c : text)
                if (c != ',' && !IsBlank(c)) digits.push_back(c);
            if (digits.size() % 2 != 0) {
                error = "Binary data is an even number of hex digits (two per byte).";
                return false;
            }
            for (size_t i = 0; i < digits.size(); i += 2) {
                int hi = HexDigit(digits[i]), lo = HexDigit(digits[i + 1]);
                if (hi < 0 || lo < 0) {
                    error = "Binary data is an even number of hex digits (two per byte).";
                    return false;
                }
                data.push_back(char(hi * 16 + lo));
            }
            return true;
        }
    }
}

std::string RegErrorText(LONG code) {
    switch (code) {
        case ERROR_SUCCESS:
            return "The operation completed successfully.";
        case ERROR_FILE_NOT_FOUND:
            return "The system was unable to find the specified registry key or value.";
        case ERROR_PATH_NOT_FOUND:
            return "The system cannot find the path specified.";
        case ERROR_ACCESS_DENIED:
            return "Access is denied.";
        case ERROR_INVALID_HANDLE:
            return "The handle is invalid.";
        case ERROR_NOT_ENOUGH_MEMORY:
            return "Not enough memory resources are available to process this command.";
        case ERROR_INVALID_DATA:
            return "The data is invalid.";
        case ERROR_BAD_NETPATH:
            return "The network path was not found.";
        case kErrorFileExists:
            return "The file exists.";
        case ERROR_INVALID_PARAMETER:
            return "The parameter is incorrect.";
        case ERROR_BAD_PATHNAME:
            return "The specified path is invalid.";
        case ERROR_MORE_DATA:
            return "More data is available.";
        case ERROR_NO_MORE_ITEMS:
            return "No more data is available.";
        case ERROR_BADDB:
            return "The configuration registry database is corrupt.";
        case ERROR_BADKEY:
            return "The configuration registry key is invalid.";
        case ERROR_CANTWRITE:
            return "The configuration registry key could not be written.";
        case ERROR_KEY_DELETED:
            return "Illegal operation attempted on a registry key that has been marked for "
                   "deletion.";
        default:
            return "Error " + std::to_string(code) + ".";
    }
}

// ---- Reading and changing keys --------------------------------------------------------------

RegKeyTree ReadRegKey(const RegKeyName& name, bool recursive) {
    RegKeyTree tree;
    tree.name = name.FullName();
    std::vector<std::string> children;
    {
        Key key;
        Check(RegOpenKeyExA(name.root, name.subKey.c_str(), 0, KEY_READ, key.out()), tree.name);
        DWORD maxName = 0, maxData = 0, maxSub = 0;
        Check(RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, &maxSub, nullptr,
                               nullptr, &maxName, &maxData, nullptr, nullptr),
              tree.name);
        // Sizes can grow meanwhile (another process writes): grow the buffers and ask again.
        std::vector<char> valueName(maxName + 1);
        std::vector<BYTE> data(maxData + 1);
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = DWORD(valueName.size());
            DWORD dataSize = DWORD(data.size());
            DWORD type = REG_NONE;
            LONG rc = RegEnumValueA(key.get(), i, valueName.data(), &nameSize, nullptr, &type,
                                    data.data(), &dataSize);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc == ERROR_MORE_DATA) {
                valueName.resize(valueName.size() * 2 + 256);
                data.resize(std::max<size_t>(data.size() * 2, size_t(dataSize) + 1));
                --i;
                continue;
            }
            Check(rc, tree.name);
            tree.values.push_back(
                RegValueData{std::string(valueName.data(), nameSize), type,
                             std::string(reinterpret_cast<const char*>(data.data()), dataSize)});
        }
        std::vector<char> subName(maxSub + 1);
        for (DWORD i = 0;; ++i) {
            LONG rc = RegEnumKeyA(key.get(), i, subName.data(), DWORD(subName.size()));
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc == ERROR_MORE_DATA) {
                subName.resize(subName.size() * 2 + 256);
                --i;
                continue;
            }
            Check(rc, tree.name);
            children.emplace_back(subName.data());
        }
    }
    for (const std::string& child : children) {
        if (!recursive) {
            tree.subkeys.push_back(RegKeyTree{tree.name + "\\" + child, {}, {}});
            continue;
        }
        RegKeyName sub{name.root, name.rootName, JoinKey(name.subKey, child)};
        tree.subkeys.push_back(ReadRegKey(sub, true));
    }
    return tree;
}

bool ReadRegValue(const RegKeyName& name, const std::string& valueName, RegValueData& value) {
    const std::string what = name.FullName();
    Key key;
    Check(RegOpenKeyExA(name.root, name.subKey.c_str(), 0, KEY_QUERY_VALUE, key.out()), what);
    DWORD type = REG_NONE, size = 0;
    LONG rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return false;
    Check(rc, what);
    std::string data;
    do {  // the value can grow between the two calls
        data.resize(size);
        rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    } while (rc == ERROR_MORE_DATA);
    if (rc == ERROR_FILE_NOT_FOUND) return false;
    Check(rc, what);
    data.resize(size);
    value = RegValueData{valueName, type, std::move(data)};
    return true;
}

void CreateRegKey(const RegKeyName& name) {
    Key key;
    Check(RegCreateKeyExA(name.root, name.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE, nullptr, key.out(), nullptr),
          name.FullName());
}

void SetRegValue(const RegKeyName& name, const std::string& valueName, DWORD type,
                 const std::string& data) {
    Key key;
    const std::string what = name.FullName();
    Check(RegCreateKeyExA(name.root, name.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE, nullptr, key.out(), nullptr),
          what);
    Check(RegSetValueExA(key.get(), valueName.c_str(), 0, type,
                         reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size())),
          what + (valueName.empty() ? std::string(", default value") : ", value " + valueName));
}

void DeleteRegValue(const RegKeyName& name, const std::string& valueName) {
    Key key;
    const std::string what = name.FullName();
    Check(RegOpenKeyExA(name.root, name.subKey.c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                        key.out()),
          what);
    Check(RegDeleteValueA(key.get(), valueName.c_str()),
          what + (valueName.empty() ? std::string(", default value") : ", value " + valueName));
}

void DeleteRegKey(const RegKeyName& name) {
    if (name.subKey.empty())
        Fail(ERROR_ACCESS_DENIED, name.rootName + " is a root key and cannot be deleted");
    DeleteTree(name.root, name.subKey, name.FullName());
}

// ---- Registry files ------------------------------------------------------------------------

std::string ExportRegText(const RegKeyName& key) {
    RegKeyTree tree = ReadRegKey(key, true);
    std::string out(regtext::kHeader);
    out += "\r\n\r\n";
    WriteKeyText(tree, key.subKey.empty(), out);
    return out;
}

void ExportRegFile(const RegKeyName& key, const std::string& fileName, bool overwrite) {
    const std::string text = ExportRegText(key);
    if (!overwrite && ::access(fileName.c_str(), F_OK) == 0) Fail(kErrorFileExists, fileName);
    const std::string temp = fileName + ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED, fileName);
        out.write(text.data(), std::streamsize(text.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            Fail(ERROR_CANTWRITE, fileName);
        }
    }
    if (std::rename(temp.c_str(), fileName.c_str()) != 0) {
        std::remove(temp.c_str());
        Fail(ERROR_ACCESS_DENIED, fileName);
    }
}

RegFileSyntaxError::RegFileSyntaxError(size_t line, const std::string& problem)
    : RuntimeError(ERROR_INVALID_DATA, ExecutableName() + ".RegFile",
                   "line " + std::to_string(line) + ": " + problem),
      line_(line) {}

// The message for a line the reader could not take.
std::string LineProblem(const regtext::Entry& e) {
    switch (e.lineError) {
        case regtext::LineError::Nul:
            return "the line holds a NUL character";
        case regtext::LineError::KeyBracket:
            return "a key name in brackets must end with ']'";
        case regtext::LineError::KeyName:
            return "the key name has an empty part";
        case regtext::LineError::PastTheEnd:
            return "the value goes on past the end of the file";
        case regtext::LineError::Value:
        case regtext::LineError::None:
            break;
    }
    return Problem(e.valueError);
}

std::vector<RegFileKey> ParseRegText(const std::string& content) {
    if (content.size() >= 2 && uint8_t(content[0]) == 0xFF && uint8_t(content[1]) == 0xFE &&
        content.size() % 2 != 0)
        SyntaxError(1, "a UTF-16 file must have an even number of bytes");
    if (content.size() >= 2 && uint8_t(content[0]) == 0xFE && uint8_t(content[1]) == 0xFF)
        SyntaxError(
            1, "UTF-16 big-endian files are not supported; save the file as UTF-16LE or UTF-8");
    std::vector<RegFileKey> keys;
    auto take = [&](regtext::Entry& e) {
        const size_t lineNo = e.firstLine + 1;
        using Kind = regtext::Entry::Kind;
        if (e.kind == Kind::Comment) return;
        if (e.kind == Kind::Bad) SyntaxError(lineNo, LineProblem(e));
        if (e.kind == Kind::Key) {
            RegFileKey key;
            key.line = lineNo;
            key.remove = e.remove;
            const std::string_view rootName = e.keyPath.substr(0, e.keyPath.find('\\'));
            const winapi::RegRoot* root = winapi::FindRegRoot(rootName);
            if (!root || !EqualsIgnoreCase(rootName, root->name))
                SyntaxError(lineNo,
                            "the key must begin with HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
                            "HKEY_CLASSES_ROOT or HKEY_USERS");
            if (!ParseRegKeyName(e.keyPath, key.key))
                SyntaxError(lineNo, "the key name has an empty part or is too deep");
            if (key.remove && key.key.subKey.empty())
                SyntaxError(lineNo, "a root key cannot be deleted");
            keys.push_back(std::move(key));
            return;
        }
        RegFileKey::Value value;
        value.line = lineNo;
        value.remove = e.remove;
        value.value = RegValueData{std::move(e.name), e.type, std::move(e.data)};
        const std::string& name = value.value.name;
        if (name.find_first_of("\r\n") != std::string::npos)
            SyntaxError(lineNo, "the value name holds a line break");
        if (winapi::Widen(name).size() > kMaxValueName)
            SyntaxError(lineNo, "the value name is longer than 16,383 characters");
        if (keys.empty()) SyntaxError(lineNo, "a value before the first key");
        if (keys.back().remove) SyntaxError(lineNo, "a value under a key that is being deleted");
        keys.back().values.push_back(std::move(value));
    };
    regtext::Document doc;
    regtext::ReadDocument(content, doc, take);
    if (doc.empty) SyntaxError(1, "not a registry file: it is empty");
    if (!doc.hasHeader)
        SyntaxError(doc.headerLine + 1, "not a registry file: it must begin with \"" +
                                            std::string(regtext::kHeader) + "\"");
    return keys;
}

RegImportSummary ImportRegText(const std::string& text) {
    const std::vector<RegFileKey> keys = ParseRegText(text);

    // Every hive the file touches must be writable before anything is changed.
    std::map<std::string, HKEY> roots;
    for (const RegFileKey& k : keys) roots.emplace(k.key.rootName, k.key.root);
    for (const auto& [rootName, root] : roots) {
        Key key;
        LONG rc = RegOpenKeyExA(root, "", 0, KEY_ALL_ACCESS, key.out());
        if (rc != ERROR_SUCCESS)
            Fail(rc, "nothing was imported: " + rootName + " cannot be changed");
    }

    // All changes go to one batch: each hive is written once at the end, and a change the
    // registry refuses leaves every hive as it was.
    winapi::RegistryBatch batch;
    RegImportSummary summary;
    try {
        for (const RegFileKey& k : keys) ImportKey(k, summary);
    } catch (const RuntimeError& e) {
        batch.Discard();
        throw RuntimeError(e.Number(), e.Source(), e.Description() + "; nothing was imported");
    }
    if (LONG rc = batch.Commit()) Fail(rc, "nothing was imported");
    return summary;
}

RegImportSummary ImportRegFile(const std::string& fileName) {
    return ImportRegText(ReadWholeFile(fileName));
}

}  // namespace lumaro
