#pragma once
// The session's error list, and the rule every platform object follows when an
// operation fails: the error goes into the session's error list (level 3) and is raised
// to the caller as a lumaro::RuntimeError with the same number and description.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "accpac/Session.h"
#include "common/RuntimeError.h"

namespace accpac::local {

// Numbers of the errors the local platform raises (besides the standard 13 Type mismatch).
enum : int32_t {
    kErrPlatformNotInstalled = static_cast<int32_t>(0x80043001),
    kErrSignonFailed = static_cast<int32_t>(0x80043002),
    kErrCompanyDatabase = static_cast<int32_t>(0x80043003),
    kErrViewNotFound = static_cast<int32_t>(0x80043004),
    kErrFieldNotFound = static_cast<int32_t>(0x80043005),
    kErrNotActive = static_cast<int32_t>(0x80043006),
    kErrRecordInvalid = static_cast<int32_t>(0x80043007),
    kErrScreenNotRegistered = static_cast<int32_t>(0x80043008),
    kErrSessionClosed = static_cast<int32_t>(0x80043009),
    kErrSiteDamaged = static_cast<int32_t>(0x8004300A),
    kErrInstallation = static_cast<int32_t>(0x8004300B),
    kErrRegistry = static_cast<int32_t>(0x8004300C),
};

enum : int {
    kLevelMessage = 1,
    kLevelWarning = 2,
    kLevelError = 3,
    kLevelSecurity = 4,
    kLevelFatal = 5
};

class LocalErrorList : public accpac::ErrorList {
public:
    int Count() const override;
    ErrorEntry Item(
        int index) const override;  // raises 9 (Subscript out of range) outside 0..Count-1
    void Add(const ErrorEntry& entry) override;
    void Clear() override;

    // Adds the error as a level-3 entry.
    void Add(const lumaro::RuntimeError& error);

private:
    std::vector<ErrorEntry> entries_;
};

// Runs an operation of a platform object. Any error it raises is recorded in the list
// (when there is one) and raised again as a RuntimeError; an error that is not a
// RuntimeError becomes one with the given source. Nested operations record an error once.
class ErrorScope {
public:
    explicit ErrorScope(accpac::ErrorList* list) : list_(list) {}

    template <typename Operation>
    auto operator()(const std::string& source, Operation&& operation) -> decltype(operation()) {
        Depth depth;
        try {
            return operation();
        } catch (const lumaro::RuntimeError& error) {
            if (depth.outermost) Record(error);
            throw;
        } catch (const std::exception& error) {
            lumaro::RuntimeError converted(kErrRecordInvalid, source, error.what());
            if (depth.outermost) Record(converted);
            throw converted;
        }
    }

private:
    struct Depth {
        Depth();
        ~Depth();
        bool outermost;
    };
    void Record(const lumaro::RuntimeError& error);

    accpac::ErrorList* list_;
};

}  // namespace accpac::local
