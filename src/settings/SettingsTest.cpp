#include "settings/SettingsTest.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>

#include "ado/Ado.h"
#include "ado/ConnectionString.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "globals/Globals.h"
#include "settings/QuantityColumns.h"

namespace lumaro {

namespace {

// FormatString's error for a pattern whose placeholders do not match its arguments.
constexpr int32_t kErrWrongPlaceholderCount = 450;

struct Refusal {
    std::string message;
};

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string Statement(const SettingsTestInput& in, const std::string& item) {
    try {
        return FormatString(in.query, {Variant(QuoteSQL(item)), Variant(QuoteSQL(in.location))});
    } catch (const RuntimeError& e) {
        if (e.Number() != kErrWrongPlaceholderCount) throw;
        throw Refusal{
            "The query needs two %s placeholders: the item number first, then the location."};
    }
}

void CheckLocation(const SettingsTestInput& in) {
    if (!in.locations) return;
    const std::string location = TrimSpaces(in.location);
    const auto& known = *in.locations;
    if (std::find(known.begin(), known.end(), location) != known.end()) return;
    throw Refusal{"The location \"" + location + "\" does not exist in this company. " +
                  (known.empty() ? std::string("The company has no locations.")
                                 : "Its locations are: " + JoinNames(known) + ".")};
}

// The statement's plan, one line per step, where the engine explains its statements
// (SQLite; PostgreSQL, natively or through its ODBC driver). PostgreSQL is asked to avoid
// reading tables whole, so that a table it still scans has no index the lookup can use.
std::vector<std::string> QueryPlan(const std::shared_ptr<ado::Connection>& connection,
                                   const std::string& connectionString,
                                   const std::string& statement) {
    std::vector<std::string> plan;
    try {
        const ado::EngineTarget target = ado::MapConnectionString(connectionString, "", "", 0, 0);
        std::string explain, column;
        if (target.engine == ado::Engine::SQLite) {
            explain = "EXPLAIN QUERY PLAN ";
            column = "detail";
        } else if (target.engine == ado::Engine::PostgreSQL ||
                   ToUpperAscii(target.odbcConnectionString).find("POSTGRES") !=
                       std::string::npos) {
            ado::Recordset set;
            ado::OpenTextQuery(set, connection, "SET enable_seqscan = off");
            explain = "EXPLAIN ";
            column = "QUERY PLAN";
        } else {
            return plan;
        }
        ado::Recordset rows;
        ado::OpenTextQuery(rows, connection, explain + statement);
        for (; !rows.IsEOF(); rows.MoveNext())
            plan.push_back(rows.Fields(column).Value().ToString());
    } catch (...) {
        plan.clear();  // no plan: the timing alone tells
    }
    return plan;
}

// The first table the plan reads whole: SQLite's "SCAN [TABLE] t", PostgreSQL's
// "Seq Scan on t".
std::string ScannedTable(const std::vector<std::string>& plan) {
    for (const std::string& line : plan) {
        std::string rest;
        const std::string trimmed = TrimSpaces(line);
        if (trimmed.rfind("SCAN ", 0) == 0) {
            rest = trimmed.substr(5);
            if (rest.rfind("TABLE ", 0) == 0) rest = rest.substr(6);
            if (rest.rfind("CONSTANT ROW", 0) == 0) continue;
        } else if (size_t at = line.find("Seq Scan on "); at != std::string::npos) {
            rest = line.substr(at + 12);
        } else {
            continue;
        }
        return ToUpperAscii(rest.substr(0, rest.find_first_of(" (")));
    }
    return {};
}

void Run(const SettingsTestInput& in, SettingsTestOutcome& out) {
    Clock::time_point start = Clock::now();
    std::shared_ptr<ado::Connection> connection = ado::OpenConnection(in.connectionString);
    out.connectMs = MillisecondsSince(start);
    if (connection->State() != ado::adStateOpen)
        throw Refusal{
            "Cannot open connection to external database specified by the connection string."};
    if (in.location.empty()) throw Refusal{"Location cannot be blank."};
    if (in.query.empty()) throw Refusal{"Query cannot be blank."};
    CheckLocation(in);

    // An item number that no item has: the lookup a new or mistyped item costs, and the
    // statement the dialog has always run.
    const std::string missing = Statement(in, std::string());
    out.statement = missing;
    start = Clock::now();
    {
        ado::Recordset recordset;
        ado::OpenTextQuery(recordset, connection, missing);
        (void)recordset.IsEOF();
        out.missingItemMs = MillisecondsSince(start);
        for (const QuantityColumn& quantity : kQuantityColumns) {
            SettingsTestOutcome::Column column{quantity.name, {}, false};
            for (const std::string& name : recordset.FieldNames())
                column.present = column.present || EqualsIgnoreCase(name, quantity.name);
            out.columns.push_back(column);
        }
    }
    if (!in.item.empty()) {  // an item expected to exist
        out.statement = Statement(in, in.item);
        start = Clock::now();
        ado::Recordset recordset;
        ado::OpenTextQuery(recordset, connection, out.statement);
        out.found = !recordset.IsEOF();
        for (auto& column : out.columns) {
            if (out.found && column.present)
                column.value = recordset.Fields(column.name).Value().ToString();
        }
        out.lookupMs = MillisecondsSince(start);
    }
    out.slowMs = in.slowMs;
    out.slow = std::max(out.missingItemMs, out.lookupMs) > in.slowMs;
    out.plan = QueryPlan(connection, in.connectionString, out.statement);
    out.scannedTable = ScannedTable(out.plan);
}

std::string Milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", ms);
    return text;
}

}  // namespace

std::vector<std::string> SettingsTestOutcome::MissingColumns() const {
    std::vector<std::string> names;
    for (const Column& column : columns)
        if (!column.present) names.push_back(column.name);
    return names;
}

bool SettingsTestOutcome::AllColumnsMissing() const {
    return !columns.empty() && MissingColumns().size() == columns.size();
}

std::vector<std::string> SettingsTestOutcome::Warnings() const {
    std::vector<std::string> lines;
    const std::vector<std::string> missing = MissingColumns();
    if (AllColumnsMissing())
        lines.push_back("The query returns none of the columns " + JoinNames(missing) +
                        ": every quantity will show as 0.");
    else if (!missing.empty())
        lines.push_back("The query returns no column " + JoinNames(missing) + ": " +
                        (missing.size() == 1 ? "it" : "they") + " will show as 0.");
    if (slow) {
        const double ms = std::max(missingItemMs, lookupMs);
        lines.push_back(
            "A lookup took " + Milliseconds(ms) + " ms, more than " + Milliseconds(slowMs) +
            " ms for each line change: " +
            (scannedTable.empty()
                 ? std::string("add an index on the columns the query compares "
                               "(ICILOC: ITEMNO, LOCATION).")
                 : "the query scans " + scannedTable + ": add an index on ITEMNO, LOCATION."));
    }
    return lines;
}

SettingsTestOutcome TestQuantitySettings(const SettingsTestInput& input) {
    SettingsTestOutcome out;
    try {
        Run(input, out);
        out.passed = true;
    } catch (const Refusal& refusal) {
        out.message = refusal.message;
    } catch (...) {
        // The driver's (or the formatter's) own description, not reworded.
        out.message = DescribeException(std::current_exception());
    }
    return out;
}

}  // namespace lumaro
