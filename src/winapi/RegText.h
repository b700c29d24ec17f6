#pragma once
// Registry values as text, in the format of the Windows registry editor's files. Both the
// registry store's own hive files and the registry files an administrator exports and
// imports are written and read with these routines, so the two always agree:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Vendor]
//   @="default value"
//   "Text"="C:\\Path \"quoted\""            REG_SZ; \\ and \" stand for \ and "
//   "Number"=dword:0000002a                 REG_DWORD
//   "Bytes"=hex:01,02,ff                    REG_BINARY
//   "Expand"=hex(2):25,00,54,00,00,00       any type by its number; REG_SZ, REG_EXPAND_SZ
//                                           and REG_MULTI_SZ as UTF-16LE
//
// Long hex data goes on over lines that end in "\" (the next one indented by two blanks).
// Value data is what the ANSI functions see: strings in UTF-8 with their terminating
// NUL(s), a DWORD as 4 little-endian bytes. What a file is made of beyond value lines (key
// headers, comments, deletions) is up to the reader.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "winapi/windows.h"

namespace winapi::regtext {

// The first line of a file, as the registry editor writes it and as its older editions did.
inline constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view kHeader4 = "REGEDIT4";

// The format's blanks are spaces and tabs.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
std::string_view Trim(std::string_view text);
// The value of a hex digit (either case); -1 for any other character.
int HexDigit(char c);

// The names of a key path "a\b\c"; false when a name is empty. "" has no names.
bool SplitPath(std::string_view path, std::vector<std::string_view>& names);

// "text" with \ and " escaped (returned, or appended to `out`).
std::string Quote(std::string_view text);
void AppendQuoted(std::string_view text, std::string& out);
// Reads a quoted text starting at text[pos] == '"', undoing the escapes \\ and \" (any other
// backslash stands for itself); pos ends after the closing quote. False when there is no
// opening or no closing quote.
bool ReadQuoted(std::string_view text, size_t& pos, std::string& out);

// UTF-8 text as UTF-16LE bytes, and back (a final odd byte is ignored). Bytes that are not
// UTF-8 survive the round trip (see Widen).
std::string ToUtf16Le(const std::string& narrow);
std::string FromUtf16Le(std::string_view bytes);

// The text of a file: UTF-8 without its byte-order mark, or, after the UTF-16LE byte-order
// mark the registry editor's exports begin with, the rest converted to UTF-8 in `converted`
// (a final odd byte is ignored).
std::string_view DecodeFile(const std::string& content, std::string& converted);
// The physical lines of a text, without their line ends (LF or CR LF).
std::vector<std::string_view> SplitLines(std::string_view text);
// A value line with the lines that continue it: lines[first] trimmed, and while that ends
// in "\", the backslash dropped and the next line trimmed appended, stopping before a line
// that begins a key ("[") and at the end of the text. Returns the index of the last line
// used; `joined` still ends in "\" when the continuation was cut short.
size_t JoinContinued(const std::vector<std::string_view>& lines, size_t first, std::string& joined);

// What is wrong with a value line that cannot be read.
enum class Error {
    None,
    NotAValue,       // the line begins with neither @ nor a quote
    UnclosedName,    // the quoted name has no closing quote
    NoEquals,        // no "=" after the name
    UnclosedQuote,   // quoted data without its closing quote
    TextAfterQuote,  // more after quoted data
    BadDword,        // dword: without 1 to 8 hex digits
    BadHexType,      // hex(N): without 1 to 8 hex digits for N
    BadHexBytes,     // hex data other than bytes of 1 or 2 hex digits separated by commas
    OddUtf16,        // a string type in hex form with an odd number of bytes
    UnknownData,     // none of "...", dword:, hex:, hex(N):
};

// ---- Whole files ------------------------------------------------------------------
//
// One reader for the text of a registry file, used both for the registry store's hive files
// and for the files an administrator imports, so that both read every line the same way.
// It splits the text into entries; what an entry means for the reader's purpose (a key of
// another root, a deletion in a hive file) is left to the caller.

// What is wrong with a line beyond its value data.
enum class LineError {
    None,
    Value,       // see `valueError`
    Nul,         // the line holds a NUL character
    KeyBracket,  // "[" without the closing "]"
    KeyName,     // an empty name inside the key path
    PastTheEnd,  // hex data continued ("\") past the end of the text
};

struct Entry {
    enum class Kind { Key, Value, Comment, Bad };
    Kind kind = Kind::Bad;
    size_t firstLine = 0;  // 0-based line indices of the entry, both included
    size_t lastLine = 0;
    bool remove = false;  // "[-key]" or "name"=-
    // Key: the path inside the brackets, root name first, one trailing "\" dropped.
    std::string_view keyPath;
    // Value: name ("" for @), type and data.
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
    // Bad: what is wrong.
    LineError lineError = LineError::None;
    Error valueError = Error::None;
};

struct Document {
    bool empty = true;       // no line other than blanks
    bool hasHeader = false;  // the first line that is not blank is a registry editor header
    size_t headerLine = 0;
    std::string converted;  // the text of a UTF-16 file, as UTF-8 (lines point into it)
    std::vector<std::string_view> lines;
};

// Reads the text of a registry file (UTF-8, or UTF-16LE after its byte-order mark), handing
// each entry after the header to `each` in file order (the entry may be moved from). `content`
// must outlive the document. Nothing after a missing header is read.
void ReadDocument(const std::string& content, Document& doc,
                  const std::function<void(Entry&)>& each);
// The entries of lines[from...] (a part of a file after its header), as ReadDocument gives
// them; and the key header of one trimmed line beginning with "[".
void ReadEntries(const std::vector<std::string_view>& lines, size_t from,
                 const std::function<void(Entry&)>& each);
void ReadKeyLine(std::string_view trimmed, Entry& e);

// The name at the start of a (trimmed) value line: "" for @. pos ends after the "=" that
// follows the name and any blanks.
Error ReadValueName(std::string_view line, std::string& name, size_t& pos);
// The data after "=": "..." (REG_SZ), dword:, hex: (REG_BINARY) or hex(N):. Blanks around
// the whole and around each hex byte are allowed.
Error ReadData(std::string_view text, DWORD& type, std::string& data);

// Appends the line of a value (CR LF ended), as the registry editor writes it: REG_SZ
// quoted when that keeps it exactly (one final NUL and no other, no line break, valid
// UTF-8), a 4-byte REG_DWORD as dword:, anything else in hex, wrapped after about 76
// columns.
void AppendValue(std::string_view name, DWORD type, const std::string& data, std::string& out);

}  // namespace winapi::regtext
