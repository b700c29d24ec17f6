#include "common/RuntimeError.h"

#include "common/VersionInfo.h"

namespace lumaro {

RuntimeError::RuntimeError(int32_t number, std::string source, std::string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {}

RuntimeError RuntimeError::Standard(int32_t number, std::string source) {
    if (source.empty()) source = ProductName();
    return RuntimeError(number, std::move(source), StandardErrorText(number));
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
