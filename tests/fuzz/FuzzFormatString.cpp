// Format strings: FormatString and ExpandEscapes never fail other than by raising their
// errors. The input is the pattern, then up to three arguments, separated by NUL bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "common/RuntimeError.h"
#include "common/Variant.h"
#include "globals/Globals.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t nul = input.find('\0'); nul != std::string::npos && parts.size() < 3;
         nul = input.find('\0', start)) {
        parts.push_back(input.substr(start, nul - start));
        start = nul + 1;
    }
    parts.push_back(input.substr(start));
    std::vector<lumaro::Variant> args;
    for (size_t i = 1; i < parts.size(); ++i) args.emplace_back(parts[i]);
    try {
        (void)lumaro::ExpandEscapes(parts[0]);
    } catch (const lumaro::RuntimeError&) {
    }
    try {
        (void)lumaro::FormatString(parts[0], args);
    } catch (const lumaro::RuntimeError&) {
    }
    return 0;
}
