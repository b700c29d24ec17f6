// The COM class lookup functions, reading the class registrations under
// HKEY_CLASSES_ROOT (HKEY_LOCAL_MACHINE\Software\Classes).

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "winapi/ComText.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

namespace {

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", hex digits of either case.
bool ParseGuid(const std::u16string& s, GUID& g) {
    if (s.size() != 38 || s[0] != u'{' || s[37] != u'}') return false;
    uint8_t bytes[16];
    size_t pos = 1;
    for (int i = 0; i < 16; ++i) {
        if (pos == 9 || pos == 14 || pos == 19 || pos == 24) {
            if (s[pos] != u'-') return false;
            ++pos;
        }
        int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = uint8_t(hi * 16 + lo);
        pos += 2;
    }
    if (pos != 37) return false;
    g.Data1 =
        uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    g.Data2 = uint16_t(bytes[4] << 8 | bytes[5]);
    g.Data3 = uint16_t(bytes[6] << 8 | bytes[7]);
    std::memcpy(g.Data4, bytes + 8, 8);
    return true;
}

// The default value (a text) of HKEY_CLASSES_ROOT\<path>.
std::optional<std::string> ClassesText(const std::string& path) {
    winapi::RegKeyHandle key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(data.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(std::min<size_t>(size, data.size()));
    return data.substr(0, data.find('\0'));
}

bool ValidProgId(const std::string& progId) {
    return !progId.empty() && progId.find('\\') == std::string::npos && progId[0] != '{';
}

}  // namespace

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
    if (!lpszProgID || !lpclsid) return E_INVALIDARG;
    *lpclsid = CLSID{};
    std::string progId = winapi::Narrow(lpszProgID);
    // A version-independent ProgID without its own Clsid names its current version in CurVer.
    for (int hop = 0; hop < 4 && ValidProgId(progId); ++hop) {
        if (auto text = ClassesText(progId + "\\Clsid")) {
            return ParseGuid(winapi::Widen(*text), *lpclsid) ? S_OK : CO_E_CLASSSTRING;
        }
        auto next = ClassesText(progId + "\\CurVer");
        if (!next) break;
        progId = *next;
    }
    return CO_E_CLASSSTRING;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) return E_INVALIDARG;
    *pclsid = CLSID{};
    if (!lpsz) return S_OK;  // no text: the null class ID
    std::u16string text(lpsz);
    if (ParseGuid(text, *pclsid)) return S_OK;
    *pclsid = CLSID{};
    if (!text.empty() && text[0] == u'{') return CO_E_CLASSSTRING;
    return SUCCEEDED(CLSIDFromProgID(lpsz, pclsid)) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
    if (!lplpszProgID) return E_INVALIDARG;
    *lplpszProgID = nullptr;
    auto text = ClassesText("CLSID\\" + winapi::ClsidToString(clsid) + "\\ProgID");
    if (!text) return REGDB_E_CLASSNOTREG;
    std::u16string wide = winapi::Widen(*text);
    auto* buffer = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(WCHAR)));
    if (!buffer) return E_OUTOFMEMORY;
    std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    *lplpszProgID = buffer;
    return S_OK;
}

int StringFromGUID2(REFCLSID rguid, LPOLESTR lpsz, int cchMax) {
    std::string text = winapi::ClsidToString(rguid);
    if (!lpsz || cchMax < int(text.size() + 1)) return 0;
    for (size_t i = 0; i < text.size(); ++i) lpsz[i] = char16_t(text[i]);
    lpsz[text.size()] = u'\0';
    return int(text.size() + 1);
}

LPVOID CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }

void CoTaskMemFree(LPVOID pv) { std::free(pv); }
