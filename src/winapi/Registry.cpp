// The registry functions (Reg*A) on hive files in the machine folder.
//
// An open key is a handle naming a hive and a key path; every call looks the path up in
// the hive as it is on disk now (parsed files are cached and re-validated on each call), so
// changes made by other processes are seen at once. A handle whose key has been deleted
// meanwhile gives ERROR_KEY_DELETED, as on Windows.

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "winapi/FileStore.h"
#include "winapi/MachineFolder.h"
#include "winapi/ParsedFileCache.h"
#include "winapi/RegHive.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

using namespace winapi::detail;

namespace {

enum Hive { kMachine, kUser, kUsers, kHiveCount };
const char* const kRootNames[kHiveCount] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER",
                                            "HKEY_USERS"};
constexpr const char* kClassesPath = "Software\\Classes";

constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

std::string HivePath(int hive) { return winapi::MachineFolder() + "/" + kRootNames[hive] + ".reg"; }

ParsedFileCache<RegHive>& HiveCache(int hive) {
    static ParsedFileCache<RegHive> caches[kHiveCount] = {
        ParsedFileCache<RegHive>(
            [](std::string c) { return RegHive::Parse(kRootNames[kMachine], c); }),
        ParsedFileCache<RegHive>(
            [](std::string c) { return RegHive::Parse(kRootNames[kUser], c); }),
        ParsedFileCache<RegHive>(
            [](std::string c) { return RegHive::Parse(kRootNames[kUsers], c); }),
    };
    return caches[hive];
}

struct OpenKey {
    int hive = kMachine;
    std::string path;  // below the hive's root, names separated by '\'
    REGSAM granted = 0;
    bool predefined = false;
};

std::mutex gHandleMutex;
std::unordered_map<uintptr_t, OpenKey> gHandles;
uintptr_t gNextHandle = 0x1000;

bool Resolve(HKEY hKey, OpenKey& out) {
    const uintptr_t id = reinterpret_cast<uintptr_t>(hKey);
    switch (id) {
        case 0x80000000u:
            out = {kMachine, kClassesPath, KEY_ALL_ACCESS, true};
            return true;
        case 0x80000001u:
            out = {kUser, "", KEY_ALL_ACCESS, true};
            return true;
        case 0x80000002u:
            out = {kMachine, "", KEY_ALL_ACCESS, true};
            return true;
        case 0x80000003u:
            out = {kUsers, "", KEY_ALL_ACCESS, true};
            return true;
        default:
            break;
    }
    std::lock_guard<std::mutex> guard(gHandleMutex);
    auto it = gHandles.find(id);
    if (it == gHandles.end()) return false;
    out = it->second;
    return true;
}

HKEY NewHandle(const OpenKey& key) {
    std::lock_guard<std::mutex> guard(gHandleMutex);
    uintptr_t id = gNextHandle;
    gNextHandle += 4;
    OpenKey stored = key;
    stored.predefined = false;
    gHandles[id] = stored;
    return reinterpret_cast<HKEY>(id);
}

std::string JoinKeyPath(const std::string& base, std::string_view sub) {
    if (sub.empty()) return base;
    if (base.empty()) return std::string(sub);
    return base + "\\" + std::string(sub);
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

void EnsureMachineFolder() {
    std::error_code ec;
    std::filesystem::create_directories(winapi::MachineFolder(), ec);
}

bool HiveWritable(int hive) {
    EnsureMachineFolder();
    return IsWritable(HivePath(hive));
}

REGSAM GrantedAccess(REGSAM desired, int hive) {
    REGSAM granted = desired & ~(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    if (granted & GENERIC_READ) granted |= KEY_READ;
    if (granted & GENERIC_WRITE) granted |= KEY_WRITE;
    if (granted & GENERIC_EXECUTE) granted |= KEY_EXECUTE;
    if (granted & GENERIC_ALL) granted |= KEY_ALL_ACCESS;
    if (granted & MAXIMUM_ALLOWED) granted |= HiveWritable(hive) ? KEY_ALL_ACCESS : KEY_READ;
    return granted;
}

// The hive as it is on disk now; an empty hive when there is no file yet.
LONG Load(int hive, std::shared_ptr<const RegHive>& out) {
    ReadStatus status;
    out = HiveCache(hive).Get(HivePath(hive), &status);
    if (!out) {
        if (status == ReadStatus::Failed) return ERROR_ACCESS_DENIED;
        static const std::shared_ptr<const RegHive> empty[kHiveCount] = {
            std::make_shared<RegHive>(kRootNames[kMachine]),
            std::make_shared<RegHive>(kRootNames[kUser]),
            std::make_shared<RegHive>(kRootNames[kUsers])};
        out = empty[hive];
        return ERROR_SUCCESS;
    }
    return out->readable() ? ERROR_SUCCESS : ERROR_BADDB;
}

// The key an open handle names, in its hive as it is on disk now (kept in `hive`, which
// owns the key). A predefined key always exists (HKEY_CLASSES_ROOT reads as empty until
// Software\Classes is created); any other deleted key is reported.
LONG Locate(const OpenKey& key, std::shared_ptr<const RegHive>& hive, const RegKey*& out) {
    if (LONG rc = Load(key.hive, hive)) return rc;
    static const RegKey emptyKey;
    std::vector<std::string_view> parts;
    SplitKeyPath(key.path, parts);
    out = hive->Find(parts);
    if (out) return ERROR_SUCCESS;
    if (key.predefined) {
        out = &emptyKey;
        return ERROR_SUCCESS;
    }
    return ERROR_KEY_DELETED;
}

// The key of an open handle in a hive being changed; a predefined key's path is created.
LONG LocateForChange(RegHive& hive, const OpenKey& key, RegKey*& out) {
    std::vector<std::string_view> parts;
    SplitKeyPath(key.path, parts);
    out = hive.Find(parts);
    if (out) return ERROR_SUCCESS;
    if (!key.predefined) return ERROR_KEY_DELETED;
    out = &hive.root();
    for (std::string_view p : parts) out = &out->AddChild(p);
    return ERROR_SUCCESS;
}

// Changes one hive under its lock: re-reads the file, applies `change` (which sets
// `changed` when it altered anything and returns a Windows error code), writes it back.
using Change = std::function<LONG(RegHive& hive, bool& changed)>;
LONG UpdateHive(int hive, const Change& change) {
    EnsureMachineFolder();
    const std::string path = HivePath(hive);
    LONG result = ERROR_SUCCESS;
    auto edit = [&](bool exists, const std::string& content, std::string& out) {
        auto parsed = RegHive::Parse(kRootNames[hive], exists ? content : std::string());
        if (!parsed->readable()) {
            result = ERROR_BADDB;  // never overwrite a hive that could not be read
            return Edit::Refuse;
        }
        bool changed = false;
        result = change(*parsed, changed);
        if (result != ERROR_SUCCESS) return Edit::Refuse;
        if (!changed) return Edit::Keep;
        out = parsed->Serialize();
        return Edit::Replace;
    };
    UpdateStatus status = LockedUpdate(path, edit);
    HiveCache(hive).Forget(path);
    switch (status) {
        case UpdateStatus::Written:
            return ERROR_SUCCESS;
        case UpdateStatus::Unchanged:
            return ERROR_SUCCESS;
        case UpdateStatus::Refused:
            return result;
        case UpdateStatus::AccessDenied:
            return ERROR_ACCESS_DENIED;
        case UpdateStatus::Failed:
            return ERROR_CANTWRITE;
    }
    return ERROR_CANTWRITE;
}

LONG CopyName(const std::string& name, LPSTR buffer, DWORD capacity) {
    if (!buffer) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > capacity) return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return ERROR_SUCCESS;
}

// The data-buffer rules shared by RegQueryValueExA and RegEnumValueA.
LONG CopyData(const RegValue& v, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpType) *lpType = v.type;
    if (!lpcbData) return ERROR_SUCCESS;
    const DWORD size = DWORD(v.data.size());
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(lpData, v.data.data(), size);
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

}  // namespace

namespace winapi {

std::string HiveFilePath(HKEY root) {
    OpenKey key;
    if (!Resolve(root, key) || !key.predefined) return std::string();
    return HivePath(key.hive);
}

}  // namespace winapi

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    OpenKey base;
    if (!Resolve(hKey, base)) return ERROR_INVALID_HANDLE;
    std::string_view sub = lpSubKey ? lpSubKey : "";
    if (!sub.empty() && sub[0] == '\\') sub.remove_prefix(1);

    std::shared_ptr<const RegHive> hive;
    const RegKey* baseKey;
    if (LONG rc = Locate(base, hive, baseKey)) return rc;
    OpenKey key{base.hive, JoinKeyPath(base.path, sub), 0, false};
    key.granted = GrantedAccess(samDesired, key.hive);
    if (sub.empty() && base.predefined) {
        // The root itself: its predefined handle serves (closing it is harmless).
        if ((key.granted & kWriteRights) && !HiveWritable(key.hive)) return ERROR_ACCESS_DENIED;
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    std::vector<std::string_view> parts;
    if (!SplitKeyPath(key.path, parts) || !hive->Find(parts)) return ERROR_FILE_NOT_FOUND;
    if ((key.granted & kWriteRights) && !HiveWritable(key.hive)) return ERROR_ACCESS_DENIED;
    *phkResult = NewHandle(key);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*Reserved*/, LPSTR /*lpClass*/,
                     DWORD /*dwOptions*/, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                     LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    OpenKey base;
    if (!Resolve(hKey, base)) return ERROR_INVALID_HANDLE;
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    std::string_view sub = lpSubKey;
    if (!sub.empty() && sub[0] == '\\') return ERROR_BAD_PATHNAME;
    if (HasLineBreak(sub))
        return ERROR_INVALID_PARAMETER;  // a key name cannot hold a line break here
    std::vector<std::string_view> subParts;
    if (!SplitKeyPath(sub, subParts)) return ERROR_BAD_PATHNAME;

    OpenKey key{base.hive, JoinKeyPath(base.path, sub), 0, false};
    std::vector<std::string_view> parts;
    SplitKeyPath(key.path, parts);
    if (parts.size() > RegHive::kMaxDepth) return ERROR_INVALID_PARAMETER;
    key.granted = GrantedAccess(samDesired, key.hive);

    std::shared_ptr<const RegHive> hive;
    const RegKey* baseKey;
    if (LONG rc = Locate(base, hive, baseKey)) return rc;
    const bool writable = HiveWritable(key.hive);
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (!hive->Find(parts)) {
        if (!writable) return ERROR_ACCESS_DENIED;
        LONG rc = UpdateHive(key.hive, [&](RegHive& h, bool& changed) {
            if (h.Find(parts)) return LONG(ERROR_SUCCESS);  // created meanwhile by someone else
            RegKey* k;
            if (LONG e = LocateForChange(h, base, k)) return e;
            for (std::string_view p : subParts) k = &k->AddChild(p);
            changed = true;
            disposition = REG_CREATED_NEW_KEY;
            return LONG(ERROR_SUCCESS);
        });
        if (rc != ERROR_SUCCESS) return rc;
    } else if ((key.granted & kWriteRights) && !writable) {
        return ERROR_ACCESS_DENIED;
    }
    if (lpdwDisposition) *lpdwDisposition = disposition;
    *phkResult = NewHandle(key);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD /*lpReserved*/, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    if (!(key.granted & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<const RegHive> hive;
    const RegKey* k;
    if (LONG rc = Locate(key, hive, k)) return rc;
    const RegValue* v = k->FindValue(lpValueName ? lpValueName : "");
    if (!v) return ERROR_FILE_NOT_FOUND;
    return CopyData(*v, lpType, lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    if (!(key.granted & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::string_view name = lpValueName ? lpValueName : "";
    if (HasLineBreak(name))
        return ERROR_INVALID_PARAMETER;  // a value name cannot hold a line break here
    std::string data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
    return UpdateHive(key.hive, [&](RegHive& h, bool& changed) {
        RegKey* k;
        if (LONG e = LocateForChange(h, key, k)) return e;
        const RegValue* old = k->FindValue(name);
        changed = !old || old->type != dwType || old->data != data;
        if (changed) k->SetValue(name, dwType, data);
        return LONG(ERROR_SUCCESS);
    });
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    OpenKey base;
    if (!Resolve(hKey, base)) return ERROR_INVALID_HANDLE;
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    std::string_view sub = lpSubKey;
    if (!sub.empty() && sub[0] == '\\') sub.remove_prefix(1);
    if (sub.empty() && base.predefined) return ERROR_ACCESS_DENIED;  // a root cannot be deleted
    std::vector<std::string_view> parts;
    const std::string path = JoinKeyPath(base.path, sub);
    if (!SplitKeyPath(path, parts) || parts.empty()) return ERROR_FILE_NOT_FOUND;

    std::shared_ptr<const RegHive> hive;
    const RegKey* baseKey;
    if (LONG rc = Locate(base, hive, baseKey)) return rc;
    const RegKey* target = hive->Find(parts);
    if (!target) return ERROR_FILE_NOT_FOUND;
    if (!target->children.empty()) return ERROR_ACCESS_DENIED;  // as Windows: subkeys first
    return UpdateHive(base.hive, [&](RegHive& h, bool& changed) {
        std::vector<std::string_view> parentPath(parts.begin(), parts.end() - 1);
        RegKey* parent = h.Find(parentPath);
        RegKey* victim = parent ? parent->Child(parts.back()) : nullptr;
        if (!victim) return LONG(ERROR_FILE_NOT_FOUND);
        if (!victim->children.empty()) return LONG(ERROR_ACCESS_DENIED);
        parent->RemoveChild(parts.back());
        changed = true;
        return LONG(ERROR_SUCCESS);
    });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    if (!(key.granted & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string_view name = lpValueName ? lpValueName : "";
    std::shared_ptr<const RegHive> hive;
    const RegKey* k;
    if (LONG rc = Locate(key, hive, k)) return rc;
    if (!k->FindValue(name)) return ERROR_FILE_NOT_FOUND;
    return UpdateHive(key.hive, [&](RegHive& h, bool& changed) {
        RegKey* target;
        if (LONG e = LocateForChange(h, key, target)) return e;
        if (!target->DeleteValue(name)) return LONG(ERROR_FILE_NOT_FOUND);
        changed = true;
        return LONG(ERROR_SUCCESS);
    });
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    if (!(key.granted & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    std::shared_ptr<const RegHive> hive;
    const RegKey* k;
    if (LONG rc = Locate(key, hive, k)) return rc;
    if (dwIndex >= k->children.size()) return ERROR_NO_MORE_ITEMS;
    auto it = std::next(k->children.begin(), dwIndex);
    return CopyName(it->second->name, lpName, cchName);
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD /*lpReserved*/, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    if (!(key.granted & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (!lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<const RegHive> hive;
    const RegKey* k;
    if (LONG rc = Locate(key, hive, k)) return rc;
    if (dwIndex >= k->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& v = k->values[dwIndex];
    // A name that does not fit leaves the size as it was and reports ERROR_MORE_DATA.
    if (LONG rc = CopyName(v.name, lpValueName, *lpcchValueName)) return rc;
    LONG rc = CopyData(v, lpType, lpData, lpcbData);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) *lpcchValueName = DWORD(v.name.size());
    return rc;
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD /*lpReserved*/,
                      LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                      LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    if (!(key.granted & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (lpClass && !lpcchClass) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<const RegHive> hive;
    const RegKey* k;
    if (LONG rc = Locate(key, hive, k)) return rc;
    // Keys here have no class: an empty one.
    if (lpClass) {
        if (*lpcchClass == 0) return ERROR_MORE_DATA;
        lpClass[0] = '\0';
    }
    if (lpcchClass) *lpcchClass = 0;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    DWORD maxSub = 0, maxName = 0, maxData = 0;
    for (const auto& [upper, child] : k->children)
        maxSub = std::max<DWORD>(maxSub, DWORD(child->name.size()));
    for (const RegValue& v : k->values) {
        maxName = std::max<DWORD>(maxName, DWORD(v.name.size()));
        maxData = std::max<DWORD>(maxData, DWORD(v.data.size()));
    }
    if (lpcSubKeys) *lpcSubKeys = DWORD(k->children.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSub;
    if (lpcValues) *lpcValues = DWORD(k->values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    if (lpftLastWriteTime) {
        // The hive file's time, as 100-ns intervals since 1601-01-01.
        struct stat st {};
        uint64_t t = 0;
        if (::stat(HivePath(key.hive).c_str(), &st) == 0)
            t = (uint64_t(st.st_mtim.tv_sec) + 11644473600ULL) * 10000000ULL +
                uint64_t(st.st_mtim.tv_nsec) / 100;
        lpftLastWriteTime->dwLowDateTime = DWORD(t & 0xFFFFFFFFu);
        lpftLastWriteTime->dwHighDateTime = DWORD(t >> 32);
    }
    return ERROR_SUCCESS;
}

LONG RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    OpenKey key;
    if (!Resolve(hKey, key) || !key.predefined) return ERROR_INVALID_HANDLE;
    std::string machine = lpMachineName ? lpMachineName : "";
    if (machine.rfind("\\\\", 0) == 0) machine.erase(0, 2);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    if (machine.empty() || NamesEqual(machine, host)) {
        *phkResult = hKey;  // the local registry: the predefined key itself
        return ERROR_SUCCESS;
    }
    return ERROR_BAD_NETPATH;  // no network registry on this machine
}

LONG RegCloseKey(HKEY hKey) {
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    if (key.predefined) return ERROR_SUCCESS;
    std::lock_guard<std::mutex> guard(gHandleMutex);
    gHandles.erase(reinterpret_cast<uintptr_t>(hKey));
    return ERROR_SUCCESS;
}
