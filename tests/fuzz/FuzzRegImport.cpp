// Registry files: the .reg parser never fails other than by raising, and an import is all
// or nothing: when it raises, no hive file of the machine folder has changed.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "admin/RegFile.h"
#include "common/RuntimeError.h"

namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        if (entry.is_regular_file())
            files[entry.path().string()].assign(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

const fs::path& MachineFolder() {
    static const fs::path folder =
        fs::temp_directory_path() / ("lumaro-fuzz-reg-" + std::to_string(getpid()));
    fs::create_directories(folder);
    setenv("LUMARO_MACHINE", folder.c_str(), 1);
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const fs::path& folder = MachineFolder();
    try {
        (void)lumaro::ParseRegText(text);
    } catch (const lumaro::RuntimeError&) {
    }
    // Each input starts from an empty machine folder, so that runs do not depend on order.
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
    const auto before = Snapshot(folder);
    try {
        (void)lumaro::ImportRegText(text);
    } catch (const lumaro::RuntimeError&) {
        if (Snapshot(folder) != before) std::abort();
    }
    return 0;
}
