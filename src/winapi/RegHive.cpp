#include "winapi/RegHive.h"

#include <cstring>

#include "winapi/ComText.h"

namespace winapi::detail {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && NamesEqual(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A quoted text starting at s[pos] == '"', with \\ and \" as escapes; pos ends after the
// closing quote.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out) {
    out.clear();
    if (pos >= s.size() || s[pos] != '"') return false;
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

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool ReadHexBytes(std::string_view s, std::string& out) {
    out.clear();
    s = TrimView(s);
    if (s.empty()) return true;
    size_t pos = 0;
    while (true) {
        size_t comma = s.find(',', pos);
        std::string_view token = TrimView(
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

std::string Utf16Bytes(const std::string& narrow) {
    std::u16string wide = Widen(narrow);
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t c : wide) {
        bytes.push_back(char(c & 0xFF));
        bytes.push_back(char(c >> 8));
    }
    return bytes;
}

bool FromUtf16Bytes(const std::string& bytes, std::string& narrow) {
    if (bytes.size() % 2 != 0) return false;
    std::u16string wide(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = char16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
    narrow = Narrow(wide);
    return true;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The data part of a value line (after '='): a quoted text, dword:, hex: or hex(N):.
bool ReadData(std::string_view data, DWORD& type, std::string& out) {
    data = TrimView(data);
    if (!data.empty() && data[0] == '"') {
        size_t pos = 0;
        if (!ReadQuoted(data, pos, out) || pos != data.size()) return false;
        out.push_back('\0');
        type = REG_SZ;
        return true;
    }
    if (StartsWithIgnoreCase(data, "dword:")) {
        std::string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) return false;
        uint32_t v = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) return false;
            v = v * 16 + uint32_t(d);
        }
        out.assign({char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)});
        type = REG_DWORD;
        return true;
    }
    if (StartsWithIgnoreCase(data, "hex:")) {
        type = REG_BINARY;
        return ReadHexBytes(data.substr(4), out);
    }
    if (StartsWithIgnoreCase(data, "hex(")) {
        size_t close = data.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) return false;
        uint32_t t = 0;
        for (char c : data.substr(4, close - 4)) {
            int d = HexDigit(c);
            if (d < 0) return false;
            t = t * 16 + uint32_t(d);
        }
        type = t;
        if (!ReadHexBytes(data.substr(close + 2), out)) return false;
        if (IsStringType(type)) {
            std::string bytes = std::move(out);
            return FromUtf16Bytes(bytes, out);
        }
        return true;
    }
    return false;
}

bool IsValidUtf8(std::string_view text) {
    for (unsigned char c : text) {
        if (c >= 0x80) {
            for (char16_t w : Widen(std::string(text)))
                if (w >= 0xDC80 && w <= 0xDCFF) return false;
            return true;
        }
    }
    return true;
}

// Text that the quoted form keeps exactly: one final NUL, no other NUL, no line break, and
// valid UTF-8 (the file is UTF-8 text).
bool FitsQuoted(const std::string& data) {
    if (data.empty() || data.back() != '\0') return false;
    std::string_view text(data.data(), data.size() - 1);
    if (text.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) return false;
    return IsValidUtf8(text);
}

void AppendHex(std::string& line, const std::string& bytes, std::string& out) {
    static const char* digits = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            line.push_back(',');
            if (line.size() >= 76) {  // wrap long lines as the registry editor does
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

void WriteValue(const RegValue& v, std::string& out) {
    std::string line = v.name.empty() ? "@=" : Quote(v.name) + "=";
    if (v.type == REG_SZ && FitsQuoted(v.data)) {
        line += Quote(std::string_view(v.data.data(), v.data.size() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t x = uint32_t(uint8_t(v.data[0])) | uint32_t(uint8_t(v.data[1])) << 8 |
                     uint32_t(uint8_t(v.data[2])) << 16 | uint32_t(uint8_t(v.data[3])) << 24;
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(x));
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

void WriteKey(const RegKey& key, const std::string& path, bool isRoot, std::string& out) {
    if (!isRoot || !key.values.empty() || !key.kept.empty()) {
        out += "[" + path + "]\r\n";
        for (const RegValue& v : key.values) WriteValue(v, out);
        for (const std::string& line : key.kept) out += line + "\r\n";
        out += "\r\n";
    }
    for (const auto& [upper, child] : key.children)
        WriteKey(*child, path + "\\" + child->name, false, out);
}

// The physical lines of the file, without their line ends.
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

}  // namespace

namespace {
inline unsigned char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 'a' + 'A') : (unsigned char)c;
}
}  // namespace

bool NameLess::operator()(std::string_view a, std::string_view b) const {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = Upper(a[i]), y = Upper(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}


bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& parts) {
    parts.clear();
    if (path.empty()) return true;
    if (path.back() == '\\') path.remove_suffix(1);
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

RegKey* RegKey::Child(std::string_view childName) const {
    auto it = children.find(childName);
    return it == children.end() ? nullptr : it->second.get();
}

RegKey& RegKey::AddChild(std::string_view childName) {
    auto it = children.find(childName);
    if (it != children.end()) return *it->second;
    auto key = std::make_unique<RegKey>();
    key->name = std::string(childName);
    RegKey& added = *key;
    children.emplace(key->name, std::move(key));
    return added;
}

bool RegKey::RemoveChild(std::string_view childName) {
    auto it = children.find(childName);
    if (it == children.end()) return false;
    children.erase(it);
    return true;
}

const RegValue* RegKey::FindValue(std::string_view valueName) const {
    for (const RegValue& v : values)
        if (NamesEqual(v.name, valueName)) return &v;
    return nullptr;
}

void RegKey::SetValue(std::string_view valueName, DWORD type, std::string data) {
    if (auto* v = const_cast<RegValue*>(FindValue(valueName))) {
        v->type = type;
        v->data = std::move(data);
        return;
    }
    values.push_back(RegValue{std::string(valueName), type, std::move(data)});
}

bool RegKey::DeleteValue(std::string_view valueName) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (NamesEqual(it->name, valueName)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

RegHive::RegHive(std::string rootName) : rootName_(std::move(rootName)) { root_.name = rootName_; }

RegKey* RegHive::Find(const std::vector<std::string_view>& path) const {
    const RegKey* key = &root_;
    for (std::string_view part : path) {
        key = key->Child(part);
        if (!key) return nullptr;
    }
    return const_cast<RegKey*>(key);
}

std::shared_ptr<RegHive> RegHive::Parse(std::string rootName, const std::string& content) {
    auto hive = std::make_shared<RegHive>(std::move(rootName));
    std::string converted;
    std::string_view text = content;
    if (text.size() >= 2 && uint8_t(text[0]) == 0xFF && uint8_t(text[1]) == 0xFE) {
        // The registry editor's own exports are UTF-16LE with a byte order mark.
        std::string bytes(text.substr(2, (text.size() - 2) & ~size_t(1)));
        FromUtf16Bytes(bytes, converted);
        text = converted;
    } else if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<std::string_view> lines = SplitLines(text);

    size_t i = 0;
    while (i < lines.size() && TrimView(lines[i]).empty()) ++i;
    if (i == lines.size()) return hive;  // an empty file is an empty hive
    std::string_view header = TrimView(lines[i]);
    if (header != kHeader && header != kHeader4) {
        hive->readable_ = false;
        return hive;
    }
    ++i;

    RegKey* current = nullptr;
    bool skipping = false;  // under a section header that could not be read
    auto keep = [&](std::string_view line) {
        (current ? current->kept : hive->preamble_).emplace_back(line);
    };
    std::vector<std::string_view> parts;
    for (; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        std::string_view trimmed = TrimView(line);
        if (trimmed.empty()) continue;
        if (std::memchr(line.data(), '\0', line.size())) {
            keep(line);
            continue;
        }
        if (trimmed[0] == '[') {
            bool ok = trimmed.size() >= 2 && trimmed.back() == ']';
            std::string_view inner =
                ok ? trimmed.substr(1, trimmed.size() - 2) : std::string_view();
            size_t slash = inner.find('\\');
            std::string_view first = inner.substr(0, slash);
            ok = ok && NamesEqual(first, hive->rootName_);
            ok = ok && (slash == std::string_view::npos ||
                        (SplitKeyPath(inner.substr(slash + 1), parts) && !parts.empty() &&
                         inner.back() != '\\' && parts.size() <= kMaxDepth));
            if (!ok) {
                skipping = true;
                keep(line);
                continue;
            }
            skipping = false;
            current = &hive->root_;
            if (slash != std::string_view::npos)
                for (std::string_view p : parts) current = &current->AddChild(p);
            continue;
        }
        // A value line; hex data may continue over lines ending in a backslash.
        size_t first = i;
        std::string joined;
        std::string_view logical = line;
        if (trimmed.back() == '\\' && line.find("=hex") != std::string_view::npos) {
            joined = std::string(trimmed);
            while (!joined.empty() && joined.back() == '\\' && i + 1 < lines.size() &&
                   TrimView(lines[i + 1]).substr(0, 1) != "[") {
                joined.pop_back();
                joined += TrimView(lines[++i]);
                while (!joined.empty() && IsBlank(joined.back())) joined.pop_back();
            }
            logical = joined;
        }
        bool ok = !skipping && current != nullptr;
        std::string name, data;
        DWORD type = REG_NONE;
        if (ok) {
            std::string_view v = TrimView(logical);
            size_t pos = 0;
            if (!v.empty() && v[0] == '@') {
                pos = 1;
            } else {
                ok = ReadQuoted(v, pos, name);
            }
            while (ok && pos < v.size() && IsBlank(v[pos])) ++pos;
            ok = ok && pos < v.size() && v[pos] == '=';
            ok = ok && ReadData(v.substr(pos + 1), type, data);
        }
        if (!ok) {
            for (size_t k = first; k <= i; ++k) keep(lines[k]);
            continue;
        }
        current->SetValue(name, type, std::move(data));
    }
    return hive;
}

std::string RegHive::Serialize() const {
    std::string out;
    out.reserve(4096);
    out += kHeader;
    out += "\r\n\r\n";
    for (const std::string& line : preamble_) out += line + "\r\n";
    if (!preamble_.empty()) out += "\r\n";
    WriteKey(root_, rootName_, true, out);
    return out;
}

}  // namespace winapi::detail
