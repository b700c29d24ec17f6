#include "common/VersionInfo.h"

#include <filesystem>
#include <system_error>

#include "common/VersionDefs.h"

namespace lumaro {

const std::string& ProductName() {
    static const std::string name = LUMARO_PRODUCT_NAME;
    return name;
}

const std::string& CompanyName() {
    static const std::string name = LUMARO_COMPANY_NAME;
    return name;
}

const std::string& VersionString() {
    static const std::string version = LUMARO_VERSION;
    return version;
}

std::string ExecutableName() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ProductName();
    return exe.stem().string();
}

}  // namespace lumaro
