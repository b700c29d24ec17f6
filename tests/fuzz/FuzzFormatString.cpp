// Format strings: FormatString and ExpandEscapes never fail other than by raising their
// errors. The input is the pattern, then up to three arguments, separated by NUL bytes.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "common/RuntimeError.h"
#include "common/Variant.h"
#include "globals/Globals.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string pattern, part;
    std::getline(in, pattern, '\0');
    std::vector<lumaro::Variant> args;
    while (args.size() < 3 && std::getline(in, part, '\0')) args.emplace_back(part);
    try {
        (void)lumaro::ExpandEscapes(pattern);
    } catch (const lumaro::RuntimeError&) {
    }
    try {
        (void)lumaro::FormatString(pattern, args);
    } catch (const lumaro::RuntimeError&) {
    }
    return 0;
}
