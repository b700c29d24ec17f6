#pragma once
// The text side of the quantity lookup: the statement sent to the external database,
// reading a column of its result, and the connection string as a message may show it.

#include <string>

#include "ado/ConnectionStringMask.h"
#include "settings/QuantityColumns.h"

namespace ado {
class Recordset;
}

namespace lumaro {

// Written into the five quantity fields when an item's quantities cannot be found.
inline constexpr const char* kNotFoundMarker = "-999999999999";

// The configured query filled with the item number and the location (FormatString, which
// raises when the query does not fit two texts, and expands the backslash escapes of the
// whole statement). Each of the two goes into the statement as one literal whatever it
// holds, on every engine: its escapes are expanded first and its quotes then doubled
// (QuoteSQL), which gives the statement the formatter would give; a text that still holds
// a backslash after the expansion raises instead, because engines that read a backslash
// in a literal as an escape (MySQL, PostgreSQL without standard_conforming_strings) would
// let it end the literal early.
std::string QuantityStatement(const std::string& query, const std::string& itemNumber,
                              const std::string& location);

// The named column of the recordset's current row as text; "0" when there is no such
// column, the value is null or cannot be converted.
std::string GetFieldText(const ado::Recordset& recordset, const std::string& columnName);

// The connection string with the values of its Pwd and Password keys (any letter case)
// replaced by "****", everything else as written. For messages that show the string.
using ado::MaskConnectionPasswords;

// A quantity as the quantity controls show it: thousands separated, with the decimals of
// the inventory options (the shortest form when they are not known, below 0).
std::string FormatQuantity(double value, int decimals);

// The first line of a message, blanks trimmed: what a status line or a table cell shows.
std::string FirstLine(const std::string& text);

}  // namespace lumaro
