#include "ado/ConnectionStringMask.h"

#include <string_view>

#include "common/TextUtil.h"

namespace ado {

namespace {

bool IsPasswordKey(std::string_view key) {
    const std::string k = lumaro::TrimSpaces(key);
    return lumaro::EqualsIgnoreCase(k, "Pwd") || lumaro::EqualsIgnoreCase(k, "Password");
}

}  // namespace

std::string MaskConnectionPasswords(const std::string& connectionString) {
    // key=value pairs separated by ";": "==" inside a key is a literal "=", a value may be
    // quoted with " or ' (a doubled quote inside stands for one) or braced {...} ("}}"
    // inside stands for one), blanks around keys and values do not count.
    const std::string& s = connectionString;
    const size_t n = s.size();
    std::string out;
    out.reserve(n);
    size_t i = 0;
    while (i < n) {
        // The key, up to a single "=" (or the end of the pair when there is none).
        size_t keyStart = i;
        std::string key;
        while (i < n && s[i] != ';') {
            if (s[i] == '=') {
                if (i + 1 < n && s[i + 1] == '=') {
                    key += '=';
                    i += 2;
                    continue;
                }
                break;
            }
            key += s[i++];
        }
        if (i >= n || s[i] == ';') {  // no value: keep the text as it is
            out.append(s, keyStart, i - keyStart);
            if (i < n) out += s[i++];
            continue;
        }
        ++i;  // the "="
        out.append(s, keyStart, i - keyStart);

        // The value.
        size_t valueStart = i;
        while (valueStart < n && s[valueStart] == ' ') ++valueStart;
        size_t valueEnd = valueStart;
        if (valueStart < n &&
            (s[valueStart] == '"' || s[valueStart] == '\'' || s[valueStart] == '{')) {
            const char close = s[valueStart] == '{' ? '}' : s[valueStart];
            valueEnd = valueStart + 1;
            while (valueEnd < n) {
                if (s[valueEnd] == close) {
                    if (valueEnd + 1 < n && s[valueEnd + 1] == close) {
                        valueEnd += 2;
                        continue;
                    }
                    ++valueEnd;
                    break;
                }
                ++valueEnd;
            }
            // Anything between the closing quote and the ";" belongs to the value as well.
            while (valueEnd < n && s[valueEnd] != ';') ++valueEnd;
        } else {
            while (valueEnd < n && s[valueEnd] != ';') ++valueEnd;
        }
        size_t shownEnd = valueEnd;
        while (shownEnd > valueStart && s[shownEnd - 1] == ' ') --shownEnd;

        out.append(s, i, valueStart - i);
        if (IsPasswordKey(key))
            out += "****";
        else
            out.append(s, valueStart, shownEnd - valueStart);
        out.append(s, shownEnd, valueEnd - shownEnd);
        i = valueEnd;
        if (i < n) out += s[i++];  // the ";"
    }
    return out;
}

}  // namespace ado
