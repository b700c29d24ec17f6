// GetPrivateProfileStringA / WritePrivateProfileStringA on INI files.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/Windows1252.h"
#include "winapi/FileStore.h"
#include "winapi/IniDocument.h"
#include "winapi/MachineFolder.h"
#include "winapi/ParsedFileCache.h"
#include "winapi/windows.h"

using winapi::detail::IniDocument;

namespace {

// How the file stores its text: Windows-1252 unless it starts with a UTF-16LE or UTF-8
// byte order mark, as Windows reads it.
enum class Encoding { Windows1252, Utf8, Utf16 };
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF", kUtf16Mark = "\xFF\xFE";

struct FileText {
    Encoding encoding = Encoding::Windows1252;
    std::string text;  // UTF-8, without the mark
    std::string tail;  // the odd last byte of a UTF-16 file, kept as it is
};

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

FileText Decode(std::string bytes) {
    FileText f;
    std::string_view b(bytes);
    if (b.substr(0, 2) == kUtf16Mark) {
        f.encoding = Encoding::Utf16;
        b.remove_prefix(2);
        if (b.size() % 2) f.tail = b.substr(b.size() - 1);
        f.text = lumaro::Utf8FromUtf16Le(b.substr(0, b.size() - f.tail.size()));
    } else if (b.substr(0, 3) == kUtf8Mark) {
        f.encoding = Encoding::Utf8;
        f.text = b.substr(3);
    } else {
        f.text = IsAscii(b) ? std::move(bytes) : lumaro::Utf8FromWindows1252(b);
    }
    return f;
}

// The bytes of `text` in the file's encoding; false when a character cannot be stored.
bool Encode(const FileText& like, const std::string& text, std::string& bytes) {
    switch (like.encoding) {
        case Encoding::Utf16:
            if (!lumaro::Utf16LeFromUtf8(text, bytes)) return false;
            bytes.insert(0, kUtf16Mark);
            bytes += like.tail;
            return true;
        case Encoding::Utf8:
            bytes = std::string(kUtf8Mark) + text;
            return true;
        case Encoding::Windows1252:
            break;
    }
    if (IsAscii(text)) {
        bytes = text;
        return true;
    }
    return lumaro::Windows1252FromUtf8(text, bytes);
}

winapi::detail::ParsedFileCache<IniDocument>& Cache() {
    static winapi::detail::ParsedFileCache<IniDocument> cache([](std::string content) {
        return std::make_shared<const IniDocument>(Decode(std::move(content)).text);
    });
    return cache;
}

// Names given by the caller are compared without their leading and trailing blanks.
std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

DWORD CopyText(std::string_view text, LPSTR buffer, DWORD size) {
    size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return DWORD(n);
}

// Every name followed by a NUL, then one more NUL; an empty list is one NUL. A list that
// needs the whole buffer counts as cut, as any longer one: the last name is cut, two NULs
// follow, and the result is size - 2.
DWORD CopyList(const std::vector<std::string_view>& names, LPSTR buffer, DWORD size) {
    std::string all;
    for (std::string_view n : names) all.append(n).push_back('\0');
    if (all.size() + 2 <= size || all.empty()) {
        std::memcpy(buffer, all.data(), all.size());
        buffer[all.size()] = '\0';
        return DWORD(all.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, all.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

bool HasLineBreak(LPCSTR text) { return text && std::strpbrk(text, "\r\n") != nullptr; }

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    // Trailing spaces of the default are not returned (tabs are).
    std::string_view def = lpDefault ? lpDefault : "";
    while (!def.empty() && def.back() == ' ') def.remove_suffix(1);

    auto doc = Cache().Get(winapi::ProfileFilePath(lpFileName));
    if (!lpAppName)
        return CopyList(doc ? doc->SectionNames() : std::vector<std::string_view>{},
                        lpReturnedString, nSize);
    const std::string_view section = TrimBlanks(lpAppName);
    if (!lpKeyName) {
        // A section without keys answers as a missing one: with the default.
        auto keys = doc ? doc->KeyNames(section) : std::nullopt;
        return keys && !keys->empty() ? CopyList(*keys, lpReturnedString, nSize)
                                      : CopyText(def, lpReturnedString, nSize);
    }
    auto value = doc ? doc->Value(section, TrimBlanks(lpKeyName)) : std::nullopt;
    return CopyText(value ? *value : def, lpReturnedString, nSize);
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName) {
    if (!lpAppName)
        return (!lpKeyName && !lpString) ? TRUE : FALSE;  // all null: flush, nothing cached
    // A line break would split the entry and change the file's structure: refused. (The
    // text is ignored when a whole section is removed.)
    if (HasLineBreak(lpAppName) || HasLineBreak(lpKeyName) || (lpKeyName && HasLineBreak(lpString)))
        return FALSE;

    const std::string path = winapi::ProfileFilePath(lpFileName, true);
    const std::string section(TrimBlanks(lpAppName));
    const std::string key(lpKeyName ? TrimBlanks(lpKeyName) : "");
    const std::string text = lpString ? lpString : "";
    std::shared_ptr<const IniDocument> written;
    auto edit = [&](bool exists, const std::string& content, std::string& out) {
        using winapi::detail::Edit;
        if (!exists && (!lpKeyName || !lpString)) return Edit::Keep;  // nothing to delete
        const FileText file = Decode(content);
        IniDocument doc(file.text);
        std::string edited;
        bool changed = !lpKeyName  ? doc.DeleteSection(section, edited)
                       : !lpString ? doc.DeleteKey(section, key, edited)
                                   : doc.SetValue(section, key, text, edited);
        if (!changed) return Edit::Keep;
        // A character the file's encoding cannot hold: nothing is written.
        if (!Encode(file, edited, out)) return Edit::Refuse;
        written = std::make_shared<const IniDocument>(edited);
        return Edit::Replace;
    };
    winapi::detail::FileVersion version;
    auto status = winapi::detail::LockedUpdate(path, edit, &version);
    // The process's own write is kept as parsed, so the next read costs what a steady one does.
    Cache().Wrote(path, version, written);
    using winapi::detail::UpdateStatus;
    return (status == UpdateStatus::Written || status == UpdateStatus::Unchanged) ? TRUE : FALSE;
}

std::string winapi::ProfileFilePath(const char* fileName, bool createFolder) {
    std::string name = fileName ? fileName : "win.ini";
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.find('/') == std::string::npos) {
        const std::string folder = MachineFolder() + "/Windows";
        if (createFolder) ::mkdir(folder.c_str(), 0777);
        return folder + "/" + name;
    }
    if (name[0] == '/') return name;
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + name : name;
}
