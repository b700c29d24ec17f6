#include "winapi/ComText.h"

#include <cstdio>

#include "common/Windows1252.h"

namespace winapi {

// UTF-8 -> UTF-16. A byte that does not start a valid UTF-8 sequence becomes U+DC00 + byte
// (a lone low surrogate, which valid UTF-8 cannot produce), and Narrow turns it back into
// that byte, so any byte string survives the round trip unchanged.
std::u16string Widen(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        unsigned c = s[i];
        if (c < 0x80) {
            out.push_back(char16_t(c));
            ++i;
            continue;
        }
        size_t len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
        if (c > 0xF4) len = 0;
        unsigned cp = 0;
        bool ok = len > 0 && i + len <= n;
        if (ok) {
            cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
            for (size_t k = 1; k < len; ++k) {
                unsigned cc = s[i + k];
                if ((cc & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (cc & 0x3F);
            }
        }
        // Reject overlong forms, surrogates and values beyond U+10FFFF.
        if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
                   (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
            ok = false;
        if (!ok) {
            out.push_back(char16_t(0xDC00 + c));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
        i += len;
    }
    return out;
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned cp = text[i];
        if (cp >= 0xDC80 && cp <= 0xDCFF) {  // an escaped byte (see Widen)
            out.push_back(char(cp - 0xDC00));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        lumaro::AppendUtf8(out, cp);
    }
    return out;
}

std::string Narrow(LPCOLESTR text) {
    if (!text) return std::string();
    return Narrow(std::u16string(text));
}

std::string ClsidToString(const CLSID& clsid) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(clsid.Data1), unsigned(clsid.Data2), unsigned(clsid.Data3),
                  clsid.Data4[0], clsid.Data4[1], clsid.Data4[2], clsid.Data4[3], clsid.Data4[4],
                  clsid.Data4[5], clsid.Data4[6], clsid.Data4[7]);
    return buf;
}

std::string ClsidFromProgIdText(const std::string& progId) {
    CLSID clsid;
    std::u16string wide = Widen(progId);
    if (FAILED(CLSIDFromProgID(wide.c_str(), &clsid))) return std::string();
    return ClsidToString(clsid);
}

}  // namespace winapi
