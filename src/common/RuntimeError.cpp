#include "common/RuntimeError.h"

#include "common/VersionInfo.h"

namespace lumaro {

RuntimeError::RuntimeError(int32_t number, std::string source, std::string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {}

RuntimeError RuntimeError::Standard(int32_t number, std::string source) {
    const char* text = "Application-defined or object-defined error";
    switch (number) {
        case kErrInvalidProcedureCall:
            text = "Invalid procedure call or argument";
            break;
        case kErrOverflow:
            text = "Overflow";
            break;
        case kErrTypeMismatch:
            text = "Type mismatch";
            break;
        case kErrInvalidUseOfNull:
            text = "Invalid use of Null";
            break;
        default:
            break;
    }
    if (source.empty()) source = ProductName();
    return RuntimeError(number, std::move(source), text);
}

std::string DescribeException(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const RuntimeError& e) {
        return e.Description();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "Unexpected error";
}

}  // namespace lumaro
