#pragma once
// The standard run-time errors the program raises itself: their numbers and their usual
// descriptions, kept in one table. RuntimeError::Standard raises any of them.

#include <cstdint>

namespace lumaro {

enum : int32_t {
    kErrInvalidProcedureCall = 5,
    kErrOverflow = 6,
    kErrSubscriptOutOfRange = 9,
    kErrTypeMismatch = 13,
    kErrObjectNotSet = 91,
    kErrInvalidPatternString = 93,
    kErrInvalidUseOfNull = 94,
    kErrObjectDoesNotSupport = 438,
    kErrWrongArguments = 450,
};

// The usual description of a standard error; a generic text for any other number.
const char* StandardErrorText(int32_t number);

}  // namespace lumaro
