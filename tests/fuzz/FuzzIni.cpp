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
#include <sstream>
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

// A value, or with a null key the NUL-separated names a profile call lists.
std::string Read(const char* section, const char* key, const std::string& file) {
    std::vector<char> buffer(1 << 16);
    const DWORD n = GetPrivateProfileStringA(section, key, key ? "\x01" : "", buffer.data(),
                                             static_cast<DWORD>(buffer.size()), file.c_str());
    return key ? std::string(buffer.data()) : std::string(buffer.data(), n);
}

std::vector<std::string> List(const char* section, const std::string& file) {
    std::vector<std::string> names;
    std::istringstream in(Read(section, nullptr, file));
    for (std::string name; std::getline(in, name, '\0');) names.push_back(name);
    return names;
}

// Every value of every section but `except`.
std::map<std::string, std::string> Others(const std::string& except, const std::string& file) {
    std::map<std::string, std::string> values;
    for (const std::string& section : List(nullptr, file)) {
        if (lumaro::EqualsIgnoreCase(section, except)) continue;
        for (const std::string& key : List(section.c_str(), file))
            values[section + "\n" + key] = Read(section.c_str(), key.c_str(), file);
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string lines[3];
    for (std::string& line : lines) std::getline(in, line);
    const std::string section = Name(lines[0], "S"), key = Name(lines[1], "k"),
                      value = Name(lines[2], "v");
    static const std::string file = (std::filesystem::temp_directory_path() /
                                     ("lumaro-fuzz-" + std::to_string(getpid()) + ".ini"))
                                        .string();
    std::ofstream(file, std::ios::binary | std::ios::trunc) << in.rdbuf();

    const auto before = Others(section, file);
    if (WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) &&
        (Read(section.c_str(), key.c_str(), file) != value || Others(section, file) != before))
        std::abort();
    return 0;
}
