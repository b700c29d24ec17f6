// INI files: for any file text, a write that reports success reads back, and leaves every
// other section's values as they were. The input is three lines (section, key, value; kept
// to letters and digits so that they read back as written), then the file's text.

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/TextUtil.h"
#include "winapi/windows.h"

namespace {

std::string Name(const std::string& text, const char* fallback) {
    std::string name;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    return name.empty() ? fallback : name.substr(0, 32);
}

// The names a profile call lists: NUL-separated, ending in two NULs.
std::vector<std::string> List(const char* section, const std::string& file) {
    std::vector<char> buffer(1 << 16);
    const DWORD n = GetPrivateProfileStringA(section, nullptr, "", buffer.data(),
                                             static_cast<DWORD>(buffer.size()), file.c_str());
    std::vector<std::string> names;
    for (size_t i = 0; i < n;) {
        std::string name(buffer.data() + i);
        i += name.size() + 1;
        names.push_back(name);
    }
    return names;
}

std::string Read(const std::string& section, const std::string& key, const std::string& file) {
    std::vector<char> buffer(1 << 16);
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "\x01", buffer.data(),
                             static_cast<DWORD>(buffer.size()), file.c_str());
    return buffer.data();
}

// Every value of every section but `except`.
std::map<std::string, std::string> Others(const std::string& except, const std::string& file) {
    std::map<std::string, std::string> values;
    for (const std::string& section : List(nullptr, file)) {
        if (lumaro::EqualsIgnoreCase(section, except)) continue;
        for (const std::string& key : List(section.c_str(), file))
            values[section + "\n" + key] = Read(section, key, file);
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        lines.push_back(input.substr(start, end - start));
        start = std::min(end + 1, input.size());
    }
    const std::string section = Name(lines[0], "S"), key = Name(lines[1], "k"),
                      value = Name(lines[2], "v");

    static const std::string file = (std::filesystem::temp_directory_path() /
                                     ("lumaro-fuzz-" + std::to_string(getpid()) + ".ini"))
                                        .string();
    std::ofstream(file, std::ios::binary | std::ios::trunc) << input.substr(start);

    const auto before = Others(section, file);
    if (WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str())) {
        if (Read(section, key, file) != value) std::abort();
        if (Others(section, file) != before) std::abort();
    }
    return 0;
}
