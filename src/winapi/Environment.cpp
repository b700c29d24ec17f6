// ExpandEnvironmentStringsA.

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "winapi/windows.h"

extern char** environ;

namespace {

// Names are looked up ignoring case, as on Windows; an exact match is preferred.
std::optional<std::string> Lookup(const std::string& name) {
    if (const char* v = std::getenv(name.c_str())) return std::string(v);
    for (char** e = environ; e && *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq && size_t(eq - *e) == name.size() &&
            ::strncasecmp(*e, name.c_str(), name.size()) == 0)
            return std::string(eq + 1);
    }
    return std::nullopt;
}

}  // namespace

DWORD ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
    if (!lpSrc) return 0;
    std::string out;
    const std::string src = lpSrc;
    size_t i = 0;
    while (i < src.size()) {
        if (src[i] != '%') {
            out += src[i++];
            continue;
        }
        size_t close = src.find('%', i + 1);
        if (close == std::string::npos) {
            out.append(src, i, std::string::npos);
            break;
        }
        const std::string name = src.substr(i + 1, close - i - 1);
        std::optional<std::string> value = name.empty() ? std::nullopt : Lookup(name);
        if (value) {
            out += *value;
            i = close + 1;
        } else {
            // Not defined: the text stays as written, and the closing '%' may open the
            // next reference.
            out.append(src, i, close - i);
            i = close;
        }
    }
    const DWORD needed = DWORD(out.size() + 1);
    if (lpDst && nSize > 0) {
        // A buffer that is too small receives as much as fits, NUL-terminated.
        size_t n = std::min<size_t>(out.size(), nSize - 1);
        std::memcpy(lpDst, out.data(), n);
        lpDst[n] = '\0';
    }
    return needed;
}
