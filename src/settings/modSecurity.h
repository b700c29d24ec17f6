#pragma once
// Protection of the stored connection string: every character, by its Windows-1252 code,
// becomes one record of printable characters ("3" or "4", then that many base-93 digits "!".."}")
// that hides a random factor along with the byte. No key; this keeps the password from being read
// at a glance, nothing more. Both routines show the hourglass pointer while they run.

#include <string>

namespace lumaro {

// The stored form of UTF-8 text; "" gives "". Never raises (a character without a
// Windows-1252 code is stored as '?').
std::string EncodeText(const std::string& text);

// The plain text (UTF-8) of a stored form; "" gives "". Never raises; text that EncodeText did not
// make decodes to an unusable string (one character per record found).
std::string DecodeText(const std::string& stored);

// The record of one byte with the given factor (10..28; RuntimeError 5 otherwise).
std::string EncodeRecord(unsigned char code, int factor);

}  // namespace lumaro
