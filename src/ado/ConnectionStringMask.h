#pragma once
// Connection strings shown to people: passwords hidden.

#include <string>

namespace ado {

// The connection string with the values of its Pwd and Password keys (any letter case)
// replaced by "****", everything else as written. Reads the pairs as ConnectionString::Parse
// does (quoted and braced values, "==" in a key) but never raises: text that is not a
// connection string is masked as far as it can be read.
std::string MaskConnectionPasswords(const std::string& connectionString);

}  // namespace ado
