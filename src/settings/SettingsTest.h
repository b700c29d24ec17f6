#pragma once
// The settings test: proves a connection string, location and query usable before they are
// stored. The settings dialog and lumaro-admin run the same test and present its outcome
// each in their own way (message boxes; text on standard output and error).

#include <optional>
#include <string>
#include <vector>

namespace lumaro {

// A lookup slower than this (milliseconds) is worth a warning: the panel runs one per line
// change.
inline constexpr double kSlowLookupMs = 20.0;

inline constexpr char kTestSucceeded[] = "Connection test succeeded.";

struct SettingsTestInput {
    std::string connectionString;
    std::string location;  // as typed
    std::string query;
    // An item to look up as well; the test always looks up an item that does not exist.
    std::string item;
    // The company's locations; when given, a location not among them is refused.
    std::optional<std::vector<std::string>> locations;
    double slowMs = kSlowLookupMs;
};

struct SettingsTestOutcome {
    bool passed = false;
    std::string message;       // why the test failed
    std::string statement;     // the statement run for the item (for no item: as the test runs it)
    double connectMs = 0;      // opening the connection
    double missingItemMs = 0;  // looking up an item that does not exist
    double lookupMs = 0;       // looking up the item given (0 without one)
    bool found = false;        // the item given has a row
    struct Column {
        std::string name;
        std::string value;     // of the item's row; empty when missing
        bool present = false;  // the result has this column
    };
    std::vector<Column> columns;    // the five quantity columns
    std::vector<std::string> plan;  // the engine's plan for the lookup, when it gives one
    std::string scannedTable;       // a table the plan reads whole
    bool slow = false;              // a lookup took longer than slowMs
    double slowMs = kSlowLookupMs;

    std::vector<std::string> MissingColumns() const;
    bool AllColumnsMissing() const;
    // What the user should know about settings that passed: the quantities that will show
    // as 0, a lookup too slow for every line change. One line each.
    std::vector<std::string> Warnings() const;
};

// Runs the test as the settings dialog's Test Connection does: opens the connection, checks
// that the location and the query are not blank (the three fixed messages), that the
// location exists and that the query has its two placeholders, runs the statement (the
// query with an empty item number and the location, quotes doubled), then times the
// lookups and reads the columns. Never raises: a failure is in the outcome's message, which
// for a database error is the database's own description.
SettingsTestOutcome TestQuantitySettings(const SettingsTestInput& input);

}  // namespace lumaro
