#pragma once
// Where the registry functions keep each root: one file per hive in the machine folder,
// "<machine folder>/HKEY_LOCAL_MACHINE.reg" and so on. HKEY_CLASSES_ROOT is the view of
// HKEY_LOCAL_MACHINE\Software\Classes, which is kept apart from the rest of that root, in
// "HKEY_CLASSES_ROOT.reg" (its keys are still written under their HKEY_LOCAL_MACHINE names).
//
// Also what every user of the registry functions shares: the names of the roots, an open key
// closed with its owner, and batches of changes written once.

#include <string>
#include <string_view>

#include "winapi/windows.h"

namespace winapi {

// The hive file of a predefined root key; "" for any other handle.
std::string HiveFilePath(HKEY root);

// The predefined roots, by their full and short names.
struct RegRoot {
    const char* name;       // "HKEY_LOCAL_MACHINE"
    const char* shortName;  // "HKLM"
    HKEY key;
};
inline constexpr int kRegRootCount = 4;
extern const RegRoot kRegRoots[kRegRootCount];
// The root of either name (any letter case); null when there is none.
const RegRoot* FindRegRoot(std::string_view name);
// The root of a predefined key; null for any other handle.
const RegRoot* FindRegRoot(HKEY key);

// An open key, closed when its owner goes (a predefined root is never closed).
class RegKeyHandle {
public:
    RegKeyHandle() = default;
    explicit RegKeyHandle(HKEY key) : key_(key) {}
    ~RegKeyHandle() { reset(); }
    RegKeyHandle(RegKeyHandle&& other) noexcept : key_(other.release()) {}
    RegKeyHandle& operator=(RegKeyHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    RegKeyHandle(const RegKeyHandle&) = delete;
    RegKeyHandle& operator=(const RegKeyHandle&) = delete;

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    // Closes the key held and returns the place for the next open call to fill.
    PHKEY out() {
        reset();
        return &key_;
    }
    HKEY release() {
        HKEY key = key_;
        key_ = nullptr;
        return key;
    }
    void reset(HKEY key = nullptr);

private:
    HKEY key_ = nullptr;
};

// Changes made through the registry functions by this thread while a batch is open are seen
// at once by this thread's reads and written to the hive files when the outermost batch
// ends: one write per hive, however many calls. Other threads and processes see them only
// then; changes they make meanwhile are kept (the batch's changes are applied again on top
// of them).
class RegistryBatch {
public:
    RegistryBatch();
    // Commits what is still pending when this is the outermost batch; left by an exception,
    // discards it instead.
    ~RegistryBatch();
    RegistryBatch(const RegistryBatch&) = delete;
    RegistryBatch& operator=(const RegistryBatch&) = delete;

    // Writes the pending changes now (in the outermost batch; ERROR_SUCCESS in an inner one).
    // On a failure, the error of the hive that could not be written, and no hive is changed.
    LONG Commit();
    // Forgets the pending changes of every open batch of this thread: nothing is written.
    void Discard();
    // The number of hive files written by this process's registry functions so far.
    static unsigned long WriteCount();

private:
    bool done_ = false;
    int exceptions_;  // uncaught when the batch began
};

}  // namespace winapi
