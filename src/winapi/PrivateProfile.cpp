// GetPrivateProfileStringA / WritePrivateProfileStringA on INI files.

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "winapi/FileStore.h"
#include "winapi/IniDocument.h"
#include "winapi/MachineFolder.h"
#include "winapi/ParsedFileCache.h"
#include "winapi/windows.h"

using winapi::detail::IniDocument;

namespace {

winapi::detail::ParsedFileCache<IniDocument>& Cache() {
    static winapi::detail::ParsedFileCache<IniDocument> cache([](std::string content) {
        return std::make_shared<const IniDocument>(std::move(content));
    });
    return cache;
}

std::string WindowsFolder() { return winapi::MachineFolder() + "/Windows"; }

// A name without a full path names a file in the Windows folder (here: the machine
// folder's "Windows" sub-folder); no name at all is win.ini.
std::string ProfilePath(LPCSTR fileName) {
    std::string name = fileName ? fileName : "win.ini";
    if (!name.empty() && name[0] == '/') return name;
    return WindowsFolder() + "/" + name;
}

DWORD CopyText(std::string_view text, LPSTR buffer, DWORD size) {
    size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return DWORD(n);
}

// Every name followed by a NUL, then one more NUL. When that does not fit, the last name
// is cut and followed by two NULs, and the result is size - 2.
DWORD CopyList(const std::vector<std::string_view>& names, LPSTR buffer, DWORD size) {
    std::string all;
    for (std::string_view n : names) all.append(n).push_back('\0');
    if (all.size() + 1 <= size) {
        std::memcpy(buffer, all.data(), all.size());
        buffer[all.size()] = '\0';
        if (all.empty() && size >= 2) buffer[1] = '\0';
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
    // Trailing blanks of the default are not returned.
    std::string_view def = lpDefault ? lpDefault : "";
    while (!def.empty() && (def.back() == ' ' || def.back() == '\t')) def.remove_suffix(1);

    auto doc = Cache().Get(ProfilePath(lpFileName));
    if (!lpAppName)
        return CopyList(doc ? doc->SectionNames() : std::vector<std::string_view>{},
                        lpReturnedString, nSize);
    if (!lpKeyName) {
        auto keys = doc ? doc->KeyNames(lpAppName) : std::nullopt;
        return keys ? CopyList(*keys, lpReturnedString, nSize)
                    : CopyText(def, lpReturnedString, nSize);
    }
    auto value = doc ? doc->Value(lpAppName, lpKeyName) : std::nullopt;
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

    const std::string path = ProfilePath(lpFileName);
    if (!lpFileName || lpFileName[0] != '/') ::mkdir(WindowsFolder().c_str(), 0777);

    const std::string section = lpAppName;
    const std::string key = lpKeyName ? lpKeyName : "";
    const std::string text = lpString ? lpString : "";
    std::shared_ptr<const IniDocument> written;
    auto edit = [&](bool exists, const std::string& content, std::string& out) {
        using winapi::detail::Edit;
        if (!exists && (!lpKeyName || !lpString)) return Edit::Keep;  // nothing to delete
        IniDocument doc(content);
        bool changed = !lpKeyName  ? doc.DeleteSection(section, out)
                       : !lpString ? doc.DeleteKey(section, key, out)
                                   : doc.SetValue(section, key, text, out);
        if (changed) written = std::make_shared<const IniDocument>(out);
        return changed ? Edit::Replace : Edit::Keep;
    };
    winapi::detail::FileStamp stamp;
    auto status = winapi::detail::LockedUpdate(path, edit, &stamp);
    // The process's own write is kept as read, so the next read costs what a steady one does.
    if (status == winapi::detail::UpdateStatus::Written)
        Cache().Wrote(path, stamp, written);
    else
        Cache().Forget(path);
    using winapi::detail::UpdateStatus;
    return (status == UpdateStatus::Written || status == UpdateStatus::Unchanged) ? TRUE : FALSE;
}
