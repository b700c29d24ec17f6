#pragma once
// Connection strings shown to people: passwords hidden.

#include <string>
#include <string_view>

namespace ado {

// Whether a key's value is a password to some provider: Password, Pwd or sslpassword, any
// letter case.
bool IsPasswordKey(std::string_view key);

// The connection string with every password value replaced by "****", everything else as
// written. Reads the pairs with the parser's own tokenizer; a value that is itself a
// connection string (such as Extended Properties) has its passwords hidden as well. Never
// raises: text that is not a connection string is masked as far as it can be read, and a
// malformed value of a password key is hidden up to the next ";".
std::string MaskConnectionPasswords(const std::string& connectionString);

}  // namespace ado
