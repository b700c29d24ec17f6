#include "accpac/local/ui/ParameterString.h"

#include "common/RuntimeError.h"

namespace accpac::local {

namespace {

constexpr const char* kSource = "AccpacScreenLauncher";

[[noreturn]] void Malformed(const std::string& why) {
    throw lumaro::RuntimeError(lumaro::kErrInvalidProcedureCall, kSource,
                               "Invalid parameter string: " + why);
}

}  // namespace

std::string UnescapeParameter(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (text.compare(i + 1, 1, "\\") == 0) {
            out += '\\';
            i += 1;
        } else if (text.compare(i + 1, 2, "eq") == 0) {
            out += '=';
            i += 2;
        } else if (text.compare(i + 1, 1, "0") == 0) {
            out += '\n';
            i += 1;
        } else {
            Malformed("unknown escape in \"" + text + "\".");
        }
    }
    return out;
}

std::map<std::string, std::string> ParseParameterString(const std::string& text) {
    std::map<std::string, std::string> result;
    if (text.empty()) return result;
    if (text.back() != '\n') Malformed("the last line does not end with a line feed.");
    size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        ++lineNumber;
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::string where = "line " + std::to_string(lineNumber);
        const size_t eq = line.find('=');
        if (eq == std::string::npos) Malformed(where + " has no \"=\".");
        // An equals sign inside a key or value is always escaped.
        if (line.find('=', eq + 1) != std::string::npos)
            Malformed(where + " has more than one \"=\".");
        std::string key, value;
        try {
            key = UnescapeParameter(line.substr(0, eq));
            value = UnescapeParameter(line.substr(eq + 1));
        } catch (const lumaro::RuntimeError&) {
            Malformed(where + " holds a backslash that starts no escape.");
        }
        if (key.empty()) Malformed(where + " has no key.");
        if (!result.emplace(key, value).second) Malformed(where + " repeats the key " + key + ".");
    }
    return result;
}

}  // namespace accpac::local
