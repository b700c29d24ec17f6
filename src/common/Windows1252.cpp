#include "common/Windows1252.h"

#include <cstdint>
#include <cstdio>

namespace lumaro {
namespace {

// Characters of the codes 0x80..0x9F; the rest of Windows-1252 equals Latin-1.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t kMalformed = 0xFFFD;

// The character at `pos` and its length in bytes; kMalformed with length 1 for a byte
// that starts no well-formed sequence. Surrogate codes in three-byte form are decoded.
char32_t NextChar(std::string_view s, size_t pos, size_t& length) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    length = 1;
    if (b0 < 0x80) return b0;
    const size_t n = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
    if (n == 0 || b0 > 0xF4 || pos + n > s.size()) return kMalformed;
    char32_t c = b0 & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) return kMalformed;
        c = (c << 6) | (b & 0x3F);
    }
    constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[n] || c > 0x10FFFF) return kMalformed;  // overlong or out of range
    length = n;
    return c;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

std::string Utf8FromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        AppendUtf8(out, b < 0x80 || b >= 0xA0 ? char32_t(b) : char32_t(kHigh[b - 0x80]));
    }
    return out;
}

bool Windows1252FromUtf8(std::string_view text, std::string& out, char32_t* bad, char replacement) {
    std::string result;
    bool whole = true;
    result.reserve(text.size());
    for (size_t pos = 0, length = 0; pos < text.size(); pos += length) {
        const char32_t c = NextChar(text, pos, length);
        int code = -1;
        if (c == kMalformed && length == 1) {
            code = -1;
        } else if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            code = int(c);
        } else {
            for (int i = 0; i < 32; ++i)
                if (kHigh[i] == c) code = 0x80 + i;
        }
        if (code < 0) {
            if (bad && whole) *bad = c;
            whole = false;
            if (!replacement) return false;
            code = static_cast<unsigned char>(replacement);
        }
        result.push_back(char(code));
    }
    out = std::move(result);
    return whole;
}

std::string Utf8FromUtf16Le(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    auto unit = [&](size_t i) {
        return char32_t(static_cast<unsigned char>(bytes[2 * i]) |
                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    };
    for (size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(++i) - 0xDC00);
        AppendUtf8(out, c);
    }
    return out;
}

bool Utf16LeFromUtf8(std::string_view text, std::string& out) {
    std::string result;
    result.reserve(text.size() * 2);
    auto put = [&](char32_t u) {
        result.push_back(char(u & 0xFF));
        result.push_back(char(u >> 8));
    };
    for (size_t pos = 0, length = 0; pos < text.size(); pos += length) {
        const char32_t c = NextChar(text, pos, length);
        if (c == kMalformed && length == 1) return false;
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    out = std::move(result);
    return true;
}

size_t CharacterCount(std::string_view text) {
    size_t count = 0;
    for (size_t pos = 0, length = 0; pos < text.size(); pos += length, ++count)
        NextChar(text, pos, length);
    return count;
}

std::string DescribeCharacter(char32_t c) {
    std::string out = "\u201C";
    AppendUtf8(out, c);
    char code[16];
    std::snprintf(code, sizeof code, "\u201D (U+%04X)", unsigned(c));
    return out + code;
}

}  // namespace lumaro
