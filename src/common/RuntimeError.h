#pragma once
// A run-time error as the program raises and handles it: a number, the source that
// raised it and a description. Errors are exceptions; a routine that handles its errors
// catches RuntimeError (or everything) and returns its defined result.

#include <cstdint>
#include <exception>
#include <string>

#include "common/StandardErrors.h"

namespace lumaro {

class RuntimeError : public std::exception {
public:
    RuntimeError(int32_t number, std::string source, std::string description);

    // A standard error (common/StandardErrors.h) with its usual description; the source
    // defaults to the product name.
    static RuntimeError Standard(int32_t number, std::string source = {});

    int32_t Number() const noexcept { return number_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    int32_t number_;
    std::string source_;
    std::string description_;
};

// The description of whatever was thrown: a RuntimeError's description, a standard
// exception's what(), or a generic text.
std::string DescribeException(std::exception_ptr error);

}  // namespace lumaro
