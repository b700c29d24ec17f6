#pragma once
// Text conversions at the boundary of stored files. The program's own text is UTF-8;
// files written by Windows programs hold Windows-1252 (8-bit) or UTF-16LE text.

#include <string>
#include <string_view>

namespace lumaro {

// Windows-1252 bytes as UTF-8. Every byte has a character (the five codes Windows-1252
// leaves unassigned stand for U+0081, U+008D, U+008F, U+0090 and U+009D, as on Windows),
// so the conversion back gives the same bytes.
std::string Utf8FromWindows1252(std::string_view bytes);

// UTF-8 text as Windows-1252 bytes. False when a character has no Windows-1252 code or
// the text is not UTF-8; `bad` then receives the first such character (U+FFFD for a
// malformed byte). With a `replacement`, each such character becomes that byte and the
// conversion goes on; without one, `out` is left as it was.
bool Windows1252FromUtf8(std::string_view text, std::string& out, char32_t* bad = nullptr,
                         char replacement = '\0');

// Appends the UTF-8 form of code point `c` (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// UTF-16LE bytes (no byte order mark) as UTF-8; an unpaired surrogate keeps its code in
// the three-byte form, so that the conversion back gives the same bytes.
std::string Utf8FromUtf16Le(std::string_view bytes);
// False when the text is not UTF-8 (unpaired surrogates in three-byte form are accepted).
bool Utf16LeFromUtf8(std::string_view text, std::string& out);

// The number of characters of UTF-8 text (a malformed byte counts as one).
size_t CharacterCount(std::string_view text);
// A character as a user reads it in a message: "“é” (U+00E9)".
std::string DescribeCharacter(char32_t c);

}  // namespace lumaro
