// The registry functions (Reg*A) on hive files in the machine folder.
//
// An open key is a handle naming a hive and a key path; every call looks the path up in
// the hive as it is on disk now (parsed files are cached and re-validated on each call), so
// changes made by other processes are seen at once. A handle whose key has been deleted
// meanwhile gives ERROR_KEY_DELETED, as on Windows.
//
// A change takes the hive file's lock, applies itself to the parsed hive (the cached one
// when it is still the file's version, so a large hive is not read again) and writes the
// file whole; the process keeps what it wrote, trusted by the file's new stamp. Inside a
// RegistryBatch the changes of a thread go to its own copy of the hive and reach the file
// in one write when the batch ends.

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "winapi/ComText.h"
#include "winapi/FileStore.h"
#include "winapi/MachineFolder.h"
#include "winapi/ParsedFileCache.h"
#include "winapi/RegHive.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

using namespace winapi::detail;

namespace {

// HKEY_LOCAL_MACHINE\Software\Classes (which HKEY_CLASSES_ROOT shows) is a hive of its own,
// kept apart from the rest of HKEY_LOCAL_MACHINE as Windows keeps it, so that registering a
// class does not rewrite a large machine hive. Each hive's file is named after the root of
// the same place in the table.
enum Hive { kMachine, kUser, kUsers, kClasses, kHiveCount };
constexpr const char* kClassesPath = "Software\\Classes";
const char* RootName(int hive) {
    return hive == kClasses ? "HKEY_LOCAL_MACHINE\\Software\\Classes"
                            : winapi::kRegRoots[hive].name;
}

constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

std::string HivePath(int hive) {
    return winapi::MachineFolder() + "/" + winapi::kRegRoots[hive].name + ".reg";
}

ParsedFileCache<RegHive>& HiveCache(int hive) {
    static ParsedFileCache<RegHive> caches[kHiveCount] = {
        ParsedFileCache<RegHive>(
            [](std::string c) { return RegHive::Parse(RootName(kMachine), std::move(c)); }),
        ParsedFileCache<RegHive>(
            [](std::string c) { return RegHive::Parse(RootName(kUser), std::move(c)); }),
        ParsedFileCache<RegHive>(
            [](std::string c) { return RegHive::Parse(RootName(kUsers), std::move(c)); }),
        ParsedFileCache<RegHive>(
            [](std::string c) { return RegHive::Parse(RootName(kClasses), std::move(c)); }),
    };
    return caches[hive];
}

struct OpenKey {
    int hive = kMachine;
    std::string path;  // below the hive's root, names separated by '\'
    REGSAM granted = 0;
    bool predefined = false;
};

bool ClassesApart();

std::mutex gHandleMutex;
std::unordered_map<uintptr_t, OpenKey> gHandles;
uintptr_t gNextHandle = 0x1000;

bool Resolve(HKEY hKey, OpenKey& out) {
    const uintptr_t id = reinterpret_cast<uintptr_t>(hKey);
    switch (id) {
        case 0x80000000u:
            out = ClassesApart() ? OpenKey{kClasses, "", KEY_ALL_ACCESS, true}
                                 : OpenKey{kMachine, kClassesPath, KEY_ALL_ACCESS, true};
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

// Longest value name, in UTF-16 characters.
constexpr size_t kMaxValueName = 16383;

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
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

// A change to one hive (returns a Windows error code; sets `changed` when it altered
// anything). It may be applied again, on top of other processes' changes, when a batch is
// written, so it holds copies of everything it needs.
using Change = std::function<LONG(RegHive& hive, bool& changed)>;

// Changes pending in this thread's open batches, per hive: the hive as changed so far (this
// thread reads it), the file version it started from, and the changes in order.
struct Batch {
    int depth = 0;
    std::shared_ptr<RegHive> hives[kHiveCount];
    FileStamp base[kHiveCount];
    std::vector<Change> changes[kHiveCount];
    void Clear() {
        for (int h = 0; h < kHiveCount; ++h) {
            hives[h].reset();
            changes[h].clear();
        }
    }
};
thread_local Batch tBatch;

// The hive as it is on disk now; an empty hive when there is no file yet.
LONG Load(int hive, std::shared_ptr<const RegHive>& out) {
    if (tBatch.hives[hive]) {
        out = tBatch.hives[hive];
        return ERROR_SUCCESS;
    }
    ReadStatus status;
    out = HiveCache(hive).Get(HivePath(hive), &status);
    if (!out) {
        if (status == ReadStatus::Failed) return ERROR_ACCESS_DENIED;
        static const std::shared_ptr<const RegHive> empty[kHiveCount] = {
            std::make_shared<RegHive>(RootName(kMachine)),
            std::make_shared<RegHive>(RootName(kUser)), std::make_shared<RegHive>(RootName(kUsers)),
            std::make_shared<RegHive>(RootName(kClasses))};
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

std::atomic<unsigned long> gWrites{0};

// Whether `parts` (a path below HKEY_LOCAL_MACHINE) is Software\Classes or below it.
bool InClasses(const std::vector<std::string_view>& parts) {
    return parts.size() >= 2 && NamesEqual(parts[0], "Software") && NamesEqual(parts[1], "Classes");
}

// A key of HKEY_LOCAL_MACHINE\Software\Classes, named in the classes hive.
void Redirect(OpenKey& key) {
    if (key.hive != kMachine) return;
    std::vector<std::string_view> parts;
    if (!SplitKeyPath(key.path, parts) || !InClasses(parts) || !ClassesApart()) return;
    const size_t cut =
        parts.size() == 2 ? key.path.size() : size_t(parts[2].data() - key.path.data());
    key.hive = kClasses;
    key.path.erase(0, cut);
}

// HKEY_LOCAL_MACHINE\Software, which lists Classes from the classes hive.
bool IsMachineSoftware(const OpenKey& key) {
    std::vector<std::string_view> parts;
    return key.hive == kMachine && SplitKeyPath(key.path, parts) && parts.size() == 1 &&
           NamesEqual(parts[0], "Software") && ClassesApart();
}

// The hive to change: the cached parse when it is the file read under the lock, else a
// fresh parse of `content`.
std::shared_ptr<RegHive> Working(int hive, const std::string& path, const FileStamp& stamp,
                                 const std::string& content) {
    if (auto doc = HiveCache(hive).Take(path, stamp, content)) return doc;
    return RegHive::Parse(RootName(hive), content);
}

LONG StatusCode(UpdateStatus status, LONG refused) {
    switch (status) {
        case UpdateStatus::Written:
        case UpdateStatus::Unchanged:
            return ERROR_SUCCESS;
        case UpdateStatus::Refused:
            return refused;
        case UpdateStatus::AccessDenied:
            return ERROR_ACCESS_DENIED;
        case UpdateStatus::Failed:
            return ERROR_CANTWRITE;
    }
    return ERROR_CANTWRITE;
}

// Writes `hive` with the changes of `replay` applied to the file as it stands: the working
// copy as it is when the file is still the version it started from, else the file re-read
// with the changes applied again. `before` receives the file's content as it was.
// Changes that fail now are left out when `strict` is false (another process deleted the
// key meanwhile, say), else the whole write is refused with their error.
LONG WriteHive(int hive, std::shared_ptr<RegHive>& working, const FileStamp& base,
               const std::vector<Change>& replay, bool strict, std::string* before,
               FileVersion& written) {
    EnsureMachineFolder();
    const std::string path = HivePath(hive);
    LONG result = ERROR_SUCCESS;
    auto edit = [&](bool exists, const std::string& content, std::string& out) {
        FileStamp now;
        if (!exists || !StatFile(path, now)) now = FileStamp();
        if (before) *before = content;
        if (!working || !(now == base)) {
            working = Working(hive, path, now, exists ? content : std::string());
            if (!working->readable()) {
                result = ERROR_BADDB;  // never overwrite a hive that could not be read
                return Edit::Refuse;
            }
            bool any = false;
            for (const Change& c : replay) {
                bool changed = false;
                result = c(*working, changed);
                if (result != ERROR_SUCCESS && strict) return Edit::Refuse;
                any = any || changed;
            }
            result = ERROR_SUCCESS;
            if (!any) return Edit::Keep;
        }
        out = working->Serialize();
        return Edit::Replace;
    };
    const UpdateStatus status = LockedUpdate(path, edit, &written);
    if (status == UpdateStatus::Written) ++gWrites;
    if (status == UpdateStatus::Written || status == UpdateStatus::Unchanged)
        HiveCache(hive).Wrote(path, written, working);  // read again when it cannot be trusted
    else
        HiveCache(hive).Forget(path);
    return StatusCode(status, result);
}

// Applies one change: to the batch's working copy while a batch is open, else to the file
// at once (one locked read, change and write).
LONG UpdateHive(int hive, Change change) {
    if (tBatch.depth == 0) {
        std::shared_ptr<RegHive> working;
        FileVersion written;
        return WriteHive(hive, working, FileStamp(), {std::move(change)}, true, nullptr, written);
    }
    std::shared_ptr<RegHive>& working = tBatch.hives[hive];
    if (!working) {
        if (!HiveWritable(hive)) return ERROR_ACCESS_DENIED;
        const std::string path = HivePath(hive);
        std::string content;
        FileStamp stamp;
        const ReadStatus read = ReadWholeFile(path, content, &stamp);
        if (read == ReadStatus::Failed) return ERROR_ACCESS_DENIED;
        if (read == ReadStatus::Missing) stamp = FileStamp();
        working = Working(hive, path, stamp, content);
        if (!working->readable()) {
            working.reset();
            return ERROR_BADDB;
        }
        tBatch.base[hive] = stamp;
    }
    bool changed = false;
    if (LONG rc = change(*working, changed)) return rc;
    if (changed) tBatch.changes[hive].push_back(std::move(change));
    return ERROR_SUCCESS;
}

// Writes every hive the batch changed; when one cannot be written, the ones written before
// it are put back as they were.
LONG CommitBatch() {
    struct Done {
        int hive;
        std::string before;
        FileVersion written;
    };
    std::vector<Done> done;
    int left = 0;
    for (int h = 0; h < kHiveCount; ++h) left += tBatch.changes[h].empty() ? 0 : 1;
    LONG rc = ERROR_SUCCESS;
    for (int h = 0; h < kHiveCount && rc == ERROR_SUCCESS; ++h) {
        if (tBatch.changes[h].empty()) continue;
        Done d{h, std::string(), FileVersion()};
        // The content before is needed only to put a hive back when a later one fails.
        rc = WriteHive(h, tBatch.hives[h], tBatch.base[h], tBatch.changes[h], false,
                       --left > 0 ? &d.before : nullptr, d.written);
        if (rc == ERROR_SUCCESS) done.push_back(std::move(d));
    }
    if (rc != ERROR_SUCCESS) {
        for (const Done& d : done) {
            const std::string path = HivePath(d.hive);
            LockedUpdate(path, [&](bool, const std::string&, std::string& out) {
                FileStamp now;
                if (!StatFile(path, now) || !(now == d.written.stamp)) return Edit::Keep;
                out = d.before;
                return Edit::Replace;
            });
            HiveCache(d.hive).Forget(path);
        }
    }
    tBatch.Clear();
    return rc;
}

// Moves HKEY_LOCAL_MACHINE\Software\Classes out of a machine hive file that still holds it
// (as files written before the classes had their own did) into the classes hive file. That
// one is written first: after a crash between the two writes the move is made again, and
// what the classes file holds is kept. False when the move cannot be made (a read-only
// folder): the classes are then read where they are.
bool MoveClassesApart() {
    const std::string machinePath = HivePath(kMachine), classesPath = HivePath(kClasses);
    bool apart = false;
    const UpdateStatus status =
        LockedUpdate(machinePath, [&](bool exists, const std::string& content, std::string& out) {
            auto machine = RegHive::Parse(RootName(kMachine), content);
            RegKey* software =
                exists && machine->readable() ? machine->root().Child("Software") : nullptr;
            const RegKey* classes = software ? software->Child("Classes") : nullptr;
            apart = !classes;
            if (!classes) return Edit::Keep;
            const UpdateStatus written = LockedUpdate(
                classesPath, [&](bool had, const std::string& old, std::string& merged) {
                    auto hive = had ? RegHive::Parse(RootName(kClasses), old)
                                    : std::make_shared<RegHive>(RootName(kClasses));
                    if (!hive->readable()) return Edit::Refuse;
                    RegHive::Graft(*classes, hive->root());
                    merged = hive->Serialize();
                    return Edit::Replace;
                });
            if (written != UpdateStatus::Written) return Edit::Refuse;
            software->RemoveChild("Classes");
            out = machine->Serialize();
            apart = true;
            return Edit::Replace;
        });
    HiveCache(kMachine).Forget(machinePath);
    HiveCache(kClasses).Forget(classesPath);
    if (status == UpdateStatus::Written) gWrites += 2;
    return apart && (status == UpdateStatus::Written || status == UpdateStatus::Unchanged);
}

bool ClassesApart() {
    const std::string path = HivePath(kMachine);
    auto machine = HiveCache(kMachine).Get(path);
    if (!machine || !machine->readable()) return true;
    const RegKey* software = machine->root().Child("Software");
    if (!software || !software->Child("Classes")) return true;
    // A file whose classes could not be moved is not tried again until it changes.
    static std::mutex mutex;
    static FileStamp refused;
    FileStamp now;
    StatFile(path, now);
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (now == refused) return false;
    }
    if (MoveClassesApart()) return true;
    std::lock_guard<std::mutex> guard(mutex);
    refused = now;
    return false;
}

LONG CopyName(const std::string& name, LPSTR buffer, DWORD capacity) {
    if (!buffer) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > capacity) return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return ERROR_SUCCESS;
}

bool EndsInNul(const std::string& data) { return !data.empty() && data.back() == '\0'; }

// The data-buffer rules shared by RegQueryValueExA and RegEnumValueA. String data stored
// without its NUL gets one in the caller's buffer when there is room for it.
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
        if (IsStringType(v.type) && *lpcbData > size && !EndsInNul(v.data)) lpData[size] = 0;
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

// The size Windows gives a value's data: strings as it stores them, in UTF-16 with their
// NUL.
DWORD StoredSize(const RegValue& v) {
    if (!IsStringType(v.type)) return DWORD(v.data.size());
    return DWORD(2 * (winapi::Widen(v.data).size() + (EndsInNul(v.data) ? 0 : 1)));
}

DWORD Utf16Length(const std::string& name) { return DWORD(winapi::Widen(name).size()); }

}  // namespace

namespace winapi {

const RegRoot kRegRoots[kRegRootCount] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
};

const RegRoot* FindRegRoot(std::string_view name) {
    for (const RegRoot& r : kRegRoots)
        if (NamesEqual(name, r.name) || NamesEqual(name, r.shortName)) return &r;
    return nullptr;
}

const RegRoot* FindRegRoot(HKEY key) {
    for (const RegRoot& r : kRegRoots)
        if (r.key == key) return &r;
    return nullptr;
}

void RegKeyHandle::reset(HKEY key) {
    if (key_ && !FindRegRoot(key_)) RegCloseKey(key_);
    key_ = key;
}

RegistryBatch::RegistryBatch() : exceptions_(std::uncaught_exceptions()) { ++tBatch.depth; }

RegistryBatch::~RegistryBatch() {
    if (!done_ && std::uncaught_exceptions() > exceptions_) Discard();
    Commit();
}

LONG RegistryBatch::Commit() {
    if (done_) return ERROR_SUCCESS;
    done_ = true;
    return --tBatch.depth == 0 ? CommitBatch() : ERROR_SUCCESS;
}

void RegistryBatch::Discard() { tBatch.Clear(); }

unsigned long RegistryBatch::WriteCount() { return gWrites; }

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
    Redirect(key);
    key.granted = GrantedAccess(samDesired, key.hive);
    if (sub.empty() && base.predefined) {
        // The root itself: its predefined handle serves (closing it is harmless).
        if ((key.granted & kWriteRights) && !HiveWritable(key.hive)) return ERROR_ACCESS_DENIED;
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    if (key.hive != base.hive)
        if (LONG rc = Load(key.hive, hive)) return rc;
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
    Redirect(key);
    SplitKeyPath(key.path, parts);
    key.granted = GrantedAccess(samDesired, key.hive);

    std::shared_ptr<const RegHive> hive;
    const RegKey* baseKey;
    if (LONG rc = Locate(base, hive, baseKey)) return rc;
    // Created from the base key, or from the top of the classes hive when the key lies there.
    OpenKey from = base;
    std::vector<std::string> names(subParts.begin(), subParts.end());
    if (key.hive != base.hive) {
        if (LONG rc = Load(key.hive, hive)) return rc;
        from = OpenKey{key.hive, "", 0, true};
        names.assign(parts.begin(), parts.end());
    }
    const bool writable = HiveWritable(key.hive);
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (!hive->Find(parts)) {
        if (!writable) return ERROR_ACCESS_DENIED;
        hive.reset();
        disposition = REG_CREATED_NEW_KEY;
        LONG rc = UpdateHive(key.hive, [from, names](RegHive& h, bool& changed) {
            RegKey* k;
            if (LONG e = LocateForChange(h, from, k)) return e;
            for (const std::string& p : names) {
                changed = changed || !k->Child(p);  // else created meanwhile by someone else
                k = &k->AddChild(p);
            }
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
    if (!v) {
        if (lpcbData) *lpcbData = 0;
        return ERROR_FILE_NOT_FOUND;
    }
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
    if (winapi::Widen(std::string(name)).size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
    std::string data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
    // A string given without its terminating NUL gets one, as Windows stores it (no data at
    // all stays none).
    if (IsStringType(dwType) && !data.empty() && data.back() != '\0') data.push_back('\0');
    return UpdateHive(key.hive, [key, name = std::string(name), dwType, data = std::move(data)](
                                    RegHive& h, bool& changed) {
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
    OpenKey victimKey{base.hive, JoinKeyPath(base.path, sub), 0, false};
    if (!SplitKeyPath(victimKey.path, parts) || parts.empty()) return ERROR_FILE_NOT_FOUND;
    Redirect(victimKey);
    const std::string& path = victimKey.path;
    if (!SplitKeyPath(path, parts) || parts.empty()) return ERROR_ACCESS_DENIED;  // Classes

    std::shared_ptr<const RegHive> hive;
    const RegKey* baseKey;
    if (LONG rc = Locate(base, hive, baseKey)) return rc;
    if (victimKey.hive != base.hive)
        if (LONG rc = Load(victimKey.hive, hive)) return rc;
    const RegKey* target = hive->Find(parts);
    if (!target) return ERROR_FILE_NOT_FOUND;
    // As Windows: subkeys first (Software always holds Classes).
    if (!target->children().empty() || IsMachineSoftware(victimKey)) return ERROR_ACCESS_DENIED;
    hive.reset();
    return UpdateHive(victimKey.hive, [path](RegHive& h, bool& changed) {
        std::vector<std::string_view> names;
        SplitKeyPath(path, names);
        const std::string_view last = names.back();
        names.pop_back();
        RegKey* parent = h.Find(names);
        RegKey* victim = parent ? parent->Child(last) : nullptr;
        if (!victim) return LONG(ERROR_FILE_NOT_FOUND);
        if (!victim->children().empty()) return LONG(ERROR_ACCESS_DENIED);
        parent->RemoveChild(last);
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
    hive.reset();
    return UpdateHive(key.hive, [key, name = std::string(name)](RegHive& h, bool& changed) {
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
    const RegKey::Subkeys& subkeys = k->children();
    if (IsMachineSoftware(key) && !k->Child("Classes")) {
        // Classes, kept in its own hive, in its place among the others.
        const DWORD before = DWORD(std::distance(subkeys.begin(), subkeys.lower_bound("Classes")));
        if (dwIndex == before) return CopyName("Classes", lpName, cchName);
        if (dwIndex > before) --dwIndex;
    }
    if (dwIndex >= subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = std::next(subkeys.begin(), dwIndex);
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
    if (dwIndex >= k->Values().size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& v = k->Values()[dwIndex];
    // As Windows: a data buffer too small reports the type and size and leaves the name
    // alone; a name buffer too small still reports the type and size and copies the data
    // when it fits, leaving the name's count as it was.
    const bool dataFits = !lpData || *lpcbData >= v.data.size();
    if (v.name.size() + 1 > *lpcchValueName || !dataFits) {
        if (dataFits) CopyData(v, lpType, lpData, lpcbData);
        if (lpType) *lpType = v.type;
        if (lpcbData) *lpcbData = DWORD(v.data.size());
        return ERROR_MORE_DATA;
    }
    if (LONG rc = CopyName(v.name, lpValueName, *lpcchValueName)) return rc;
    *lpcchValueName = DWORD(v.name.size());
    return CopyData(v, lpType, lpData, lpcbData);
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
    // Lengths as Windows keeps them: names in UTF-16 characters, data as StoredSize.
    for (const auto& [name, child] : k->children())
        maxSub = std::max(maxSub, Utf16Length(child->name));
    for (const RegValue& v : k->Values()) {
        maxName = std::max(maxName, Utf16Length(v.name));
        maxData = std::max(maxData, StoredSize(v));
    }
    DWORD subkeys = DWORD(k->children().size());
    if (IsMachineSoftware(key) && !k->Child("Classes")) {
        ++subkeys;  // Classes, kept in its own hive
        maxSub = std::max<DWORD>(maxSub, 7);
    }
    if (lpcSubKeys) *lpcSubKeys = subkeys;
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSub;
    if (lpcValues) *lpcValues = DWORD(k->Values().size());
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
