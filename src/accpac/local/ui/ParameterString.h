#pragma once
// The parameter string a launched screen receives: lines "key=value", each ended by a line
// feed. In keys and values a backslash is written "\\", an equals sign "\eq" and a line
// feed "\0".

#include <map>
#include <string>

namespace accpac::local {

// The text of an escaped key or value. Raises RuntimeError 5 on a backslash that starts
// none of the three escapes.
std::string UnescapeParameter(const std::string& text);

// The keys and their values. Raises RuntimeError 5, with the line at fault, when a line
// has no "=" or more than one, holds a bad escape, repeats a key, has an empty key, or when the
// text does not end with a line feed. An empty text has no keys.
std::map<std::string, std::string> ParseParameterString(const std::string& text);

}  // namespace accpac::local
