#include "winapi/RegText.h"

#include <cstdint>
#include <cstdio>

#include "winapi/ComText.h"

namespace winapi::regtext {
namespace {

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i], b = prefix[i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool ReadHexNumber(std::string_view s, uint32_t& value) {
    if (s.empty() || s.size() > 8) return false;
    value = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0) return false;
        value = value * 16 + uint32_t(d);
    }
    return true;
}

// "xx,xx,..." with blanks allowed around each byte; an empty text is no bytes.
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

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong forms, no
// surrogates, nothing beyond U+10FFFF.
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

// REG_SZ data that the quoted form keeps exactly; the file is UTF-8 text, so the data must
// be too.
bool FitsQuoted(const std::string& data) {
    if (data.empty() || data.back() != '\0') return false;
    std::string_view text(data.data(), data.size() - 1);
    if (text.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) return false;
    return IsUtf8(text);
}

// Bytes as "xx,xx,...", moving on to a new line (after "\", indented by two blanks) once a
// line reaches 76 columns, as the registry editor does.
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

}  // namespace

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool SplitPath(std::string_view path, std::vector<std::string_view>& names) {
    names.clear();
    if (path.empty()) return true;
    size_t pos = 0;
    while (true) {
        size_t slash = path.find('\\', pos);
        std::string_view name = path.substr(
            pos, slash == std::string_view::npos ? std::string_view::npos : slash - pos);
        if (name.empty()) return false;
        names.push_back(name);
        if (slash == std::string_view::npos) return true;
        pos = slash + 1;
    }
}

void AppendQuoted(std::string_view text, std::string& out) {
    out.push_back('"');
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' && text[i] != '"') continue;
        out.append(text.substr(start, i - start));
        out.push_back('\\');
        start = i;
    }
    out.append(text.substr(start));
    out.push_back('"');
}

std::string Quote(std::string_view text) {
    std::string out;
    AppendQuoted(text, out);
    return out;
}

bool ReadQuoted(std::string_view text, size_t& pos, std::string& out) {
    out.clear();
    if (pos >= text.size() || text[pos] != '"') return false;
    size_t i = pos + 1;
    while (true) {
        const size_t stop = text.find_first_of("\"\\", i);
        if (stop == std::string_view::npos) return false;
        out.append(text.substr(i, stop - i));
        if (text[stop] == '"') {
            pos = stop + 1;
            return true;
        }
        // \\ and \" stand for the character after; any other backslash for itself.
        if (stop + 1 < text.size() && (text[stop + 1] == '\\' || text[stop + 1] == '"')) {
            out.push_back(text[stop + 1]);
            i = stop + 2;
        } else {
            out.push_back('\\');
            i = stop + 1;
        }
    }
}

std::string ToUtf16Le(const std::string& narrow) {
    std::u16string wide = Widen(narrow);
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t c : wide) {
        bytes.push_back(char(c & 0xFF));
        bytes.push_back(char(c >> 8));
    }
    return bytes;
}

std::string FromUtf16Le(std::string_view bytes) {
    std::u16string wide(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = char16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
    return Narrow(wide);
}

std::string_view DecodeFile(const std::string& content, std::string& converted) {
    std::string_view text = content;
    if (text.size() >= 2 && uint8_t(text[0]) == 0xFF && uint8_t(text[1]) == 0xFE) {
        converted = FromUtf16Le(text.substr(2));
        return converted;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(text.size() / 24);
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

size_t JoinContinued(const std::vector<std::string_view>& lines, size_t first,
                     std::string& joined) {
    joined = std::string(Trim(lines[first]));
    size_t last = first;
    while (!joined.empty() && joined.back() == '\\' && last + 1 < lines.size() &&
           Trim(lines[last + 1]).substr(0, 1) != "[") {
        joined.pop_back();
        joined += Trim(lines[++last]);
        while (!joined.empty() && IsBlank(joined.back())) joined.pop_back();
    }
    return last;
}

Error ReadValueName(std::string_view line, std::string& name, size_t& pos) {
    name.clear();
    pos = 0;
    if (!line.empty() && line[0] == '@') {
        pos = 1;
    } else if (!line.empty() && line[0] == '"') {
        if (!ReadQuoted(line, pos, name)) return Error::UnclosedName;
    } else {
        return Error::NotAValue;
    }
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') return Error::NoEquals;
    ++pos;
    return Error::None;
}

Error ReadData(std::string_view text, DWORD& type, std::string& data) {
    text = Trim(text);
    data.clear();
    if (!text.empty() && text[0] == '"') {
        size_t pos = 0;
        if (!ReadQuoted(text, pos, data)) return Error::UnclosedQuote;
        if (pos != text.size()) return Error::TextAfterQuote;
        data.push_back('\0');
        type = REG_SZ;
        return Error::None;
    }
    if (StartsWithIgnoreCase(text, "dword:")) {
        uint32_t x = 0;
        if (!ReadHexNumber(Trim(text.substr(6)), x)) return Error::BadDword;
        data.assign({char(x & 0xFF), char((x >> 8) & 0xFF), char((x >> 16) & 0xFF), char(x >> 24)});
        type = REG_DWORD;
        return Error::None;
    }
    std::string_view bytes;
    if (StartsWithIgnoreCase(text, "hex:")) {
        type = REG_BINARY;
        bytes = text.substr(4);
    } else if (StartsWithIgnoreCase(text, "hex(")) {
        size_t close = text.find("):");
        uint32_t number = 0;
        if (close == std::string_view::npos || !ReadHexNumber(text.substr(4, close - 4), number))
            return Error::BadHexType;
        type = number;
        bytes = text.substr(close + 2);
    } else {
        return Error::UnknownData;
    }
    if (!ReadHexBytes(bytes, data)) return Error::BadHexBytes;
    if (IsStringType(type)) {
        if (data.size() % 2 != 0) return Error::OddUtf16;
        data = FromUtf16Le(data);
    }
    return Error::None;
}

void AppendValue(std::string_view name, DWORD type, const std::string& data, std::string& out) {
    if (type == REG_SZ && FitsQuoted(data)) {  // the common case, straight into `out`
        if (name.empty())
            out += '@';
        else
            AppendQuoted(name, out);
        out += '=';
        AppendQuoted(std::string_view(data.data(), data.size() - 1), out);
        out += "\r\n";
        return;
    }
    std::string line = name.empty() ? "@=" : Quote(name) + "=";
    if (type == REG_DWORD && data.size() == 4) {
        uint32_t x = uint32_t(uint8_t(data[0])) | uint32_t(uint8_t(data[1])) << 8 |
                     uint32_t(uint8_t(data[2])) << 16 | uint32_t(uint8_t(data[3])) << 24;
        line += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4)
            line.push_back("0123456789abcdef"[(x >> shift) & 15]);
    } else if (type == REG_BINARY) {
        line += "hex:";
        AppendHex(line, data, out);
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(type));
        line += buf;
        AppendHex(line, IsStringType(type) ? ToUtf16Le(data) : data, out);
    }
    out += line;
    out += "\r\n";
}

void ReadKeyLine(std::string_view trimmed, Entry& e) {
    std::string_view inner = trimmed.substr(1);
    if (trimmed.size() < 2 || trimmed.back() != ']') {
        e.lineError = LineError::KeyBracket;
        return;
    }
    inner.remove_suffix(1);
    if (!inner.empty() && inner[0] == '-') {
        e.remove = true;
        inner.remove_prefix(1);
    }
    if (!inner.empty() && inner.back() == '\\') inner.remove_suffix(1);
    // No empty name: no backslash first, last or doubled.
    if (inner.empty() || inner.front() == '\\' || inner.back() == '\\' ||
        inner.find("\\\\") != std::string_view::npos) {
        e.lineError = LineError::KeyName;
        return;
    }
    e.kind = Entry::Kind::Key;
    e.keyPath = inner;
}

void ReadDocument(const std::string& content, Document& doc,
                  const std::function<void(Entry&)>& each) {
    doc = Document();
    doc.lines = SplitLines(DecodeFile(content, doc.converted));
    const std::vector<std::string_view>& lines = doc.lines;
    size_t i = 0;
    while (i < lines.size() && Trim(lines[i]).empty()) ++i;
    if (i == lines.size()) return;
    doc.empty = false;
    doc.headerLine = i;
    const std::string_view header = Trim(lines[i]);
    doc.hasHeader = header == kHeader || header == kHeader4;
    if (!doc.hasHeader) return;

    ReadEntries(lines, i + 1, each);
}

void ReadEntries(const std::vector<std::string_view>& lines, size_t from,
                 const std::function<void(Entry&)>& each) {
    for (size_t i = from; i < lines.size(); ++i) {
        const std::string_view trimmed = Trim(lines[i]);
        if (trimmed.empty()) continue;
        Entry e;
        e.firstLine = e.lastLine = i;
        if (trimmed.find('\0') != std::string_view::npos) {
            e.lineError = LineError::Nul;
        } else if (trimmed[0] == ';') {
            e.kind = Entry::Kind::Comment;
        } else if (trimmed[0] == '[') {
            ReadKeyLine(trimmed, e);
        } else {
            size_t pos = 0;
            e.valueError = ReadValueName(trimmed, e.name, pos);
            if (e.valueError != Error::None) {
                e.lineError = LineError::Value;
            } else {
                std::string joined;
                std::string_view data = Trim(trimmed.substr(pos));
                if (StartsWithIgnoreCase(data, "hex") && trimmed.back() == '\\') {
                    e.lastLine = i = JoinContinued(lines, i, joined);
                    if (joined.back() == '\\' && i + 1 >= lines.size())
                        e.lineError = LineError::PastTheEnd;
                    data = Trim(std::string_view(joined).substr(pos));
                }
                if (e.lineError == LineError::None && data == "-") {
                    e.kind = Entry::Kind::Value;
                    e.remove = true;
                } else if (e.lineError == LineError::None) {
                    e.valueError = ReadData(data, e.type, e.data);
                    if (e.valueError == Error::None)
                        e.kind = Entry::Kind::Value;
                    else
                        e.lineError = LineError::Value;
                }
            }
        }
        each(e);
    }
}

}  // namespace winapi::regtext
