#include "platform/RegFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "common/TextUtil.h"
#include "common/VersionInfo.h"
#include "winapi/ComText.h"

namespace lumaro {

namespace {

constexpr LONG kErrorFileExists = 80;
// Deepest key path the registry accepts.
constexpr size_t kMaxKeyDepth = 512;
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

std::string Source() { return ExecutableName() + ".RegFile"; }

[[noreturn]] void Fail(LONG code, const std::string& what) {
    throw RuntimeError(code, Source(), RegErrorText(code) + " (" + what + ")");
}

void Check(LONG code, const std::string& what) {
    if (code != ERROR_SUCCESS) Fail(code, what);
}

// An open key, closed with the object.
class Key {
public:
    Key() = default;
    ~Key() {
        if (handle_) RegCloseKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &handle_; }
    HKEY get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

struct RootInfo {
    const char* name;
    const char* shortName;
    HKEY key;
};

const RootInfo kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_USERS", "HKU", HKEY_USERS},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string JoinKey(const std::string& base, const std::string& name) {
    return base.empty() ? name : base + "\\" + name;
}

bool SplitPath(std::string_view path, std::vector<std::string_view>& parts) {
    parts.clear();
    if (path.empty()) return true;
    size_t pos = 0;
    while (true) {
        size_t slash = path.find('\\', pos);
        std::string_view part = path.substr(
            pos, slash == std::string_view::npos ? std::string_view::npos : slash - pos);
        if (part.empty()) return false;
        parts.push_back(part);
        if (slash == std::string_view::npos) return true;
        pos = slash + 1;
    }
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

// ---- Text conversions of the file format ----------------------------------------------

std::string Utf16Bytes(const std::string& narrow) {
    std::u16string wide = winapi::Widen(narrow);
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t c : wide) {
        bytes.push_back(char(c & 0xFF));
        bytes.push_back(char(c >> 8));
    }
    return bytes;
}

std::string FromUtf16Bytes(std::string_view bytes) {
    std::u16string wide(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = char16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
    return winapi::Narrow(wide);
}

// Well-formed UTF-8: what a text editor keeps as it is.
bool IsUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const uint8_t c = uint8_t(s[i]);
        size_t extra;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const uint8_t d = uint8_t(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// REG_SZ data that the quoted form keeps exactly: one final NUL and no other, no line
// break, well-formed UTF-8.
bool FitsQuoted(const std::string& data) {
    if (data.empty() || data.back() != '\0') return false;
    std::string_view text(data.data(), data.size() - 1);
    if (text.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) return false;
    return IsUtf8(text);
}

// Bytes as "xx,xx,...", wrapped after about 76 columns with "\" and a two-blank indent,
// as the registry editor writes them.
void AppendHex(std::string& line, const std::string& bytes, std::string& out) {
    static const char* digits = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            line.push_back(',');
            if (line.size() >= 76) {
                out += line;
                out += "\\\r\n";
                line = "  ";
            }
        }
        uint8_t b = uint8_t(bytes[i]);
        line.push_back(digits[b >> 4]);
        line.push_back(digits[b & 15]);
    }
}

void WriteValueLine(const RegValueData& v, std::string& out) {
    std::string line = v.name.empty() ? "@=" : Quote(v.name) + "=";
    if (v.type == REG_SZ && FitsQuoted(v.data)) {
        line += Quote(std::string_view(v.data.data(), v.data.size() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(LittleEndian(v.data, 4)));
        line += buf;
    } else if (v.type == REG_BINARY) {
        line += "hex:";
        AppendHex(line, v.data, out);
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
        line += buf;
        AppendHex(line, IsStringType(v.type) ? Utf16Bytes(v.data) : v.data, out);
    }
    out += line;
    out += "\r\n";
}

void WriteKeyText(const RegKeyTree& key, bool isRoot, std::string& out) {
    // A root is written only for its values, as the hive itself does.
    if (!isRoot || !key.values.empty()) {
        out += "[" + key.name + "]\r\n";
        for (const RegValueData& v : key.values) WriteValueLine(v, out);
        out += "\r\n";
    }
    for (const RegKeyTree& sub : key.subkeys) WriteKeyText(sub, false, out);
}

// ---- Reading a registry file ------------------------------------------------------------

[[noreturn]] void SyntaxError(size_t line, const std::string& problem) {
    throw RegFileSyntaxError(line, problem);
}

// A quoted text starting at s[pos] == '"' with \\ and \" as escapes (any other backslash
// stands for itself); pos ends after the closing quote. False when it is not closed.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out) {
    out.clear();
    for (size_t i = pos + 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out.push_back(s[++i]);
            continue;
        }
        out.push_back(c);
    }
    return false;
}

bool ReadHexBytes(std::string_view s, std::string& out) {
    out.clear();
    s = Trim(s);
    if (s.empty()) return true;
    size_t pos = 0;
    while (true) {
        size_t comma = s.find(',', pos);
        std::string_view token = Trim(
            s.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
        if (token.empty() || token.size() > 2) return false;
        int hi = HexDigit(token[0]);
        int lo = token.size() == 2 ? HexDigit(token[1]) : 0;
        if (hi < 0 || lo < 0) return false;
        out.push_back(char(token.size() == 2 ? hi * 16 + lo : hi));
        if (comma == std::string_view::npos) return true;
        pos = comma + 1;
    }
}

bool ReadHexNumber(std::string_view s, size_t maxDigits, uint32_t& value) {
    if (s.empty() || s.size() > maxDigits) return false;
    value = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0) return false;
        value = value * 16 + uint32_t(d);
    }
    return true;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// The data after "=" of a value line.
void ReadData(std::string_view data, size_t line, RegFileKey::Value& value) {
    data = Trim(data);
    RegValueData& v = value.value;
    if (data == "-") {
        value.remove = true;
        return;
    }
    if (!data.empty() && data[0] == '"') {
        size_t pos = 0;
        if (!ReadQuoted(data, pos, v.data))
            SyntaxError(line, "the quoted text has no closing quote");
        if (pos != data.size()) SyntaxError(line, "text after the closing quote");
        v.data.push_back('\0');
        v.type = REG_SZ;
        return;
    }
    if (StartsWithIgnoreCase(data, "dword:")) {
        uint32_t x = 0;
        if (!ReadHexNumber(Trim(data.substr(6)), 8, x))
            SyntaxError(line, "dword: needs 1 to 8 hex digits");
        v.data.assign(
            {char(x & 0xFF), char((x >> 8) & 0xFF), char((x >> 16) & 0xFF), char(x >> 24)});
        v.type = REG_DWORD;
        return;
    }
    std::string_view bytes;
    if (StartsWithIgnoreCase(data, "hex:")) {
        v.type = REG_BINARY;
        bytes = data.substr(4);
    } else if (StartsWithIgnoreCase(data, "hex(")) {
        size_t close = data.find("):");
        uint32_t type = 0;
        if (close == std::string_view::npos || !ReadHexNumber(data.substr(4, close - 4), 8, type))
            SyntaxError(line, "hex(n): needs a type number of 1 to 8 hex digits");
        v.type = type;
        bytes = data.substr(close + 2);
    } else {
        SyntaxError(
            line,
            "the data is not a quoted text, dword:, hex:, hex(n): or - (to delete the value)");
    }
    if (!ReadHexBytes(bytes, v.data))
        SyntaxError(line, "hex data must be bytes of one or two hex digits separated by commas");
    if (IsStringType(v.type)) {
        if (v.data.size() % 2 != 0)
            SyntaxError(line, "a string in hex form needs an even number of bytes (UTF-16)");
        v.data = FromUtf16Bytes(v.data);
    }
}

// The physical lines of the text without their line ends.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
    }
    return lines;
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
    const RootInfo* found = nullptr;
    for (const RootInfo& r : kRoots)
        if (EqualsIgnoreCase(root, r.name) || EqualsIgnoreCase(root, r.shortName)) found = &r;
    if (!found) return false;
    std::vector<std::string_view> parts;
    if (!SplitPath(sub, parts) || parts.size() > kMaxKeyDepth) return false;
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
    std::string out(kHeader5);
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

std::vector<RegFileKey> ParseRegText(const std::string& content) {
    std::string converted;
    std::string_view text = content;
    if (text.size() >= 2 && uint8_t(text[0]) == 0xFF && uint8_t(text[1]) == 0xFE) {
        if (text.size() % 2 != 0) SyntaxError(1, "a UTF-16 file must have an even number of bytes");
        converted = FromUtf16Bytes(text.substr(2));
        text = converted;
    } else if (text.size() >= 2 && uint8_t(text[0]) == 0xFE && uint8_t(text[1]) == 0xFF) {
        SyntaxError(
            1, "UTF-16 big-endian files are not supported; save the file as UTF-16LE or UTF-8");
    } else if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    const std::vector<std::string_view> lines = SplitLines(text);

    std::vector<RegFileKey> keys;
    bool header = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t lineNo = i + 1;
        std::string_view trimmed = Trim(lines[i]);
        if (trimmed.empty()) continue;
        if (trimmed.find('\0') != std::string_view::npos)
            SyntaxError(lineNo, "the line holds a NUL character");
        if (!header) {
            if (trimmed != kHeader5 && trimmed != kHeader4)
                SyntaxError(lineNo, "not a registry file: it must begin with \"" +
                                        std::string(kHeader5) + "\"");
            header = true;
            continue;
        }
        if (trimmed[0] == ';') continue;
        if (trimmed[0] == '[') {
            if (trimmed.back() != ']')
                SyntaxError(lineNo, "a key name in brackets must end with ']'");
            std::string_view inner = trimmed.substr(1, trimmed.size() - 2);
            RegFileKey key;
            key.line = lineNo;
            if (!inner.empty() && inner[0] == '-') {
                key.remove = true;
                inner.remove_prefix(1);
            }
            std::string_view root = inner.substr(0, inner.find('\\'));
            bool fullRoot = false;
            for (const RootInfo& r : kRoots) fullRoot = fullRoot || EqualsIgnoreCase(root, r.name);
            if (!fullRoot)
                SyntaxError(lineNo,
                            "the key must begin with HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
                            "HKEY_CLASSES_ROOT or HKEY_USERS");
            if (!ParseRegKeyName(inner, key.key))
                SyntaxError(lineNo, "the key name has an empty part or is too deep");
            if (key.remove && key.key.subKey.empty())
                SyntaxError(lineNo, "a root key cannot be deleted");
            keys.push_back(std::move(key));
            continue;
        }
        // A value line.
        RegFileKey::Value value;
        value.line = lineNo;
        size_t pos = 0;
        if (trimmed[0] == '@') {
            pos = 1;
        } else if (trimmed[0] == '"') {
            if (!ReadQuoted(trimmed, pos, value.value.name))
                SyntaxError(lineNo, "the value name has no closing quote");
        } else {
            SyntaxError(lineNo, "not a key, a value or a comment");
        }
        while (pos < trimmed.size() && IsBlank(trimmed[pos])) ++pos;
        if (pos >= trimmed.size() || trimmed[pos] != '=')
            SyntaxError(lineNo, "'=' expected after the value name");
        // Hex data may go on over lines ending in a backslash.
        std::string joined(trimmed);
        if (StartsWithIgnoreCase(Trim(trimmed.substr(pos + 1)), "hex")) {
            while (!joined.empty() && joined.back() == '\\') {
                if (i + 1 >= lines.size())
                    SyntaxError(lineNo, "the value goes on past the end of the file");
                joined.pop_back();
                joined += Trim(lines[++i]);
            }
        }
        std::string_view v = joined;
        ReadData(v.substr(pos + 1), lineNo, value);
        if (keys.empty()) SyntaxError(lineNo, "a value before the first key");
        if (keys.back().remove) SyntaxError(lineNo, "a value under a key that is being deleted");
        keys.back().values.push_back(std::move(value));
    }
    if (!header) SyntaxError(1, "not a registry file: it is empty");
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

    RegImportSummary summary;
    for (const RegFileKey& k : keys) {
        const std::string where = "line " + std::to_string(k.line) + ", " + k.key.FullName();
        try {
            if (k.remove) {
                Key probe;
                if (RegOpenKeyExA(k.key.root, k.key.subKey.c_str(), 0, KEY_READ, probe.out()) ==
                    ERROR_SUCCESS) {
                    DeleteTree(k.key.root, k.key.subKey, k.key.FullName());
                    ++summary.deleted;
                }
                continue;
            }
            Key key;
            Check(RegCreateKeyExA(k.key.root, k.key.subKey.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_WRITE | KEY_QUERY_VALUE, nullptr,
                                  key.out(), nullptr),
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
        } catch (const RuntimeError& e) {
            throw RuntimeError(e.Number(), e.Source(),
                               e.Description() + "; the keys before it in the file were imported");
        }
    }
    return summary;
}

RegImportSummary ImportRegFile(const std::string& fileName) {
    return ImportRegText(ReadWholeFile(fileName));
}

}  // namespace lumaro
