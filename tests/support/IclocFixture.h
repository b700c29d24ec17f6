#pragma once
// Test databases holding the inventory location table ICILOC (item number, location and the
// quantity columns), in a temporary SQLite file or in a database of its own on the test
// PostgreSQL server (LUMARO_TEST_PG, a libpq connection string; see scripts/test-services).
//
// Table: ICILOC(ITEMNO VARCHAR(24), LOCATION VARCHAR(6), QTYONHAND, QTYRENOCST, QTYADNOCST,
// QTYSHNOCST, QTYONORDER, QTYSALORDR, QTYCOMMIT DECIMAL(19,4)), primary key (ITEMNO, LOCATION).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lumaro::test {

struct IclocRow {
    std::string itemNo;
    std::string location;
    double qtyOnHand = 0, qtyReNoCst = 0, qtyAdNoCst = 0, qtyShNoCst = 0;
    double qtyOnOrder = 0, qtySalOrdr = 0;
    std::optional<double> qtyCommit = 0.0;  // nullopt: a NULL in the column

    // The five values of the first-run quantity query for this row.
    double QtOnHand() const { return qtyOnHand + qtyReNoCst + qtyAdNoCst - qtyShNoCst; }
    double QtAvail() const { return QtOnHand() - qtyCommit.value_or(0); }
};

// A few rows as a company holds them: several locations per item, an item with a quote
// (O'NEIL), a row whose QTYCOMMIT is NULL (item "NULLCOMMIT", location "1"), zeros.
std::vector<IclocRow> SampleIclocRows();

// Row `index` of a large generated table: 4 locations ("1", "2", "3", "WH01") per item
// "A" + 7-digit number, deterministic quantities.
IclocRow GeneratedIclocRow(long index);
inline constexpr long kIclocLocationsPerItem = 4;

// The first-run quantity query for an item and a location (no quoting).
std::string FirstRunQuery(const std::string& itemNo, const std::string& location);

// Creates a SQLite file with ICILOC holding rows (or `generated` generated rows) and returns
// its ADO connection string ("Provider=SQLite;Data Source=<file>").
std::string CreateSqliteIcloc(const std::filesystem::path& file,
                              const std::vector<IclocRow>& rows = SampleIclocRows());
std::string CreateSqliteIcloc(const std::filesystem::path& file, long generated);

// The test PostgreSQL server from LUMARO_TEST_PG, when set.
struct PgServer {
    std::string host;  // a unix-socket folder or a host name
    int port = 5432;
    std::string user;
    std::string dbname;
};
std::optional<PgServer> TestPgServer();
// Why PostgreSQL tests are skipped, for GTEST_SKIP().
inline constexpr const char* kNoPgReason =
    "LUMARO_TEST_PG is not set: no PostgreSQL test server (run through scripts/test)";

// A database of its own on the test server, created with ICILOC and dropped (connections
// included) by the destructor. Requires TestPgServer().
class PgIclocDatabase {
public:
    explicit PgIclocDatabase(const std::vector<IclocRow>& rows = SampleIclocRows());
    explicit PgIclocDatabase(long generated);
    ~PgIclocDatabase();
    PgIclocDatabase(const PgIclocDatabase&) = delete;
    PgIclocDatabase& operator=(const PgIclocDatabase&) = delete;

    const std::string& Name() const { return name_; }
    const PgServer& Server() const { return server_; }
    std::string AdoConnectionString() const;   // Provider=PostgreSQL;Host=...;Database=...
    std::string OdbcConnectionString() const;  // Driver={PostgreSQL Unicode};Servername=...
    std::string Conninfo() const;              // libpq

private:
    void Create(const std::vector<IclocRow>* rows, long generated);
    PgServer server_;
    std::string name_;
};

}  // namespace lumaro::test
