#include "common/StandardErrors.h"

namespace lumaro {

namespace {

struct StandardError {
    int32_t number;
    const char* text;
};

constexpr StandardError kStandardErrors[] = {
    {kErrInvalidProcedureCall, "Invalid procedure call or argument"},
    {kErrOverflow, "Overflow"},
    {kErrSubscriptOutOfRange, "Subscript out of range"},
    {kErrTypeMismatch, "Type mismatch"},
    {kErrObjectNotSet, "Object variable or With block variable not set"},
    {kErrInvalidPatternString, "Invalid pattern string"},
    {kErrInvalidUseOfNull, "Invalid use of Null"},
    {kErrObjectDoesNotSupport, "Object doesn't support this property or method"},
    {kErrWrongArguments, "Wrong number of arguments or invalid property assignment"},
};

}  // namespace

const char* StandardErrorText(int32_t number) {
    for (const StandardError& e : kStandardErrors)
        if (e.number == number) return e.text;
    return "Application-defined or object-defined error";
}

}  // namespace lumaro
