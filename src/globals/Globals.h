#pragma once
// Module routines shared by the Quantity panel and the settings dialog: the printf-style
// formatter that turns the configured query into an SQL statement, SQL quoting, and the
// key=value parameter strings handed to the platform's screen launcher. Plain C++.

#include <string>
#include <vector>

#include "common/Variant.h"

namespace lumaro {

// The kind of value a % specification converts.
enum class FormatKind {
    Text,       // s, S
    Whole,      // d, i, u
    WholeLong,  // ld
    Float,      // f, e, g, E, G
    Hex,        // x, X
};

// Fills pattern with args, printf-style: each % specification takes the next argument,
// "%%" stands for one percent sign; the backslash escapes of the whole result are then
// expanded (ExpandEscapes). If args is not empty and its first element is an array, that
// array is the argument list. Raises RuntimeError: 450 when the number of placeholders and
// arguments differ, 93 for a malformed specification, 5 for a floating-point width that
// is too small for its precision, 6 when the pattern or a width exceeds 32767, and the
// conversion errors of a value (13 type mismatch, 94 null).
std::string FormatString(const std::string& pattern, const std::vector<Variant>& args);

// One converted argument. specification runs from the percent sign to the conversion
// character(s), e.g. "%-5s", "%8.2f", "%04X", "%ld"; upperCase is set for conversion X.
std::string FormatArgument(const std::string& specification, FormatKind kind, bool upperCase,
                           const Variant& value);

// Expands backslash escapes: \n gives CR LF, \r CR, \t tab, \\ one backslash, a backslash
// before any other character gives that character, a trailing backslash is dropped.
std::string ExpandEscapes(const std::string& text);

// Doubles every single quote, for text placed inside '...' in SQL.
std::string QuoteSQL(const std::string& text);

// Escapes a key or value of a parameter string: "\" -> "\\", "=" -> "\eq", LF -> "\0".
std::string KVEscape(const std::string& text);

// One line of a parameter string: escaped key, "=", escaped value, line feed.
std::string KVPair(const std::string& key, const std::string& value);

// The parameter string of keys[i]=values[i] lines; empty when either list is empty or the
// two differ in length.
std::string KVBuildList(const std::vector<std::string>& keys,
                        const std::vector<std::string>& values);

// Flattens its arguments into one list of texts (index 0 is the first element): an array
// argument contributes each of its elements, any other argument itself, all converted to
// text. When a conversion fails, or there is nothing to flatten, the result is one empty
// string.
std::vector<std::string> StringArray(const std::vector<Variant>& args);

}  // namespace lumaro
