#pragma once
// Small text helpers shared by every folder.

#include <string>
#include <string_view>

namespace lumaro {

std::string TrimSpaces(std::string_view s);  // leading and trailing blanks (VB's Trim)
std::string ToUpperAscii(std::string_view s);
std::string ToLowerAscii(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);  // ASCII letters only
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

}  // namespace lumaro
