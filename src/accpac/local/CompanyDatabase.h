#pragma once
// One company's SQLite database: inventory (items, locations, location quantities,
// options), customers, order entry (headers, lines) and purchase orders (headers, lines).
// Every failure raises a lumaro::RuntimeError (kErrCompanyDatabase) whose description
// names the company and says what is wrong.
//
// Tables and the columns other programs may read (the external query reads ICILOC):
//   ICITEM  (ITEMNO stored form PK, FMTITEMNO, DESC, CATEGORY, STOCKITEM 0/1, STOCKUNIT, UNITPRICE)
//   ICITEMU (ITEMNO, UNIT, CONVERSION: stocking units in one UNIT; PK (ITEMNO, UNIT)); the
//            stocking unit has factor 1, a unit an item does not list counts as its stocking unit
//   ICLOC   (LOCATION PK, DESC)
//   ICILOC  (ITEMNO, LOCATION, QTYONHAND, QTYRENOCST, QTYADNOCST, QTYSHNOCST, QTYONORDER,
//            QTYSALORDR, QTYCOMMIT; PK (ITEMNO, LOCATION))
//   ICOPT   (OPTKEY = 1, DEFLOC, QTYDECS)
//   ARCUS   (IDCUST PK, NAMECUST)
//   OEOPT   (OPTKEY = 1, NEXTORDNUM)
//   OEORDH  (ORDUNIQ PK, ORDNUMBER unique, CUSTOMER, BILNAME, ORDDATE, TYPE, REFERENCE)
//   OEORDD  (ORDUNIQ, LINENUM, ITEMNO, ITEM, DESC, LOCATION, QTYORDERED, QTYCOMMIT, UNIT,
//            UNITPRICE, STOCKITEM; PK (ORDUNIQ, LINENUM))
//   POPORH  (PORHSEQ PK, PONUMBER unique, VENDOR, VENDNAME, PODATE, EXPARRIVAL)
//   POPORL  (PORHSEQ, LINENUM, ITEMNO, LOCATION, OQORDERED, OQRECEIVED, UNITCOST; PK (PORHSEQ,
//   LINENUM))
//
// ICILOC.QTYSALORDR is the sum of QTYORDERED of the stock lines of all orders,
// ICILOC.QTYCOMMIT the sum of their QTYCOMMIT (both in stocking units, as the inquiry's
// documents show them), and ICILOC.QTYONORDER the sum of the
// outstanding quantities (OQORDERED - OQRECEIVED) of all purchase order lines, per item
// and location. Saving an order keeps these sums exact.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class QSqlError;

namespace accpac::local {

struct ItemInfo {
    std::string itemNo;           // stored form
    std::string formattedItemNo;  // with separators
    std::string description;
    std::string category;
    bool stockItem = false;
    std::string unit;
    double unitPrice = 0;
};

struct LocationInfo {
    std::string location;
    std::string description;
};

struct CustomerInfo {
    std::string customer;
    std::string name;
};

struct ItemLocationQuantities {
    double qtyOnHand = 0, qtyRenOCost = 0, qtyAdNOCost = 0, qtyShNOCost = 0;
    double qtyOnOrder = 0, qtySalesOrder = 0, qtyCommitted = 0;
};

struct OrderHeader {
    int32_t orderUniq = 0;  // 0: not saved yet
    std::string orderNumber;
    std::string customer;
    std::string customerName;
    std::string orderDate;  // yyyy-MM-dd
    int type = 1;           // 1 active (commits), 2 future
    std::string reference;
};

struct OrderLine {
    int32_t lineNumber = 0;
    std::string itemNo;  // stored form (filled on save)
    std::string item;    // as shown on the line
    std::string description;
    std::string location;
    double quantityOrdered = 0;
    double quantityCommitted = 0;  // set on save
    std::string unit;
    double unitPrice = 0;
    bool stockItem = false;
};

struct Order {
    OrderHeader header;
    std::vector<OrderLine> lines;
};

// Kinds of documents behind a quantity of the inventory inquiry.
enum InquiryDocType : int { kDocSalesOrders = 1, kDocCommitted = 2, kDocPurchaseOrders = 3 };

struct InquiryDocument {
    std::string documentNumber;  // order or purchase order number
    std::string date;            // yyyy-MM-dd
    std::string party;           // customer or vendor number
    std::string partyName;       // customer or vendor name
    int32_t lineNumber = 0;
    double quantity = 0;  // ordered, committed or outstanding
};

class CompanyDatabase {
    struct KeptStatement;
    struct ChangeCheck;

public:
    // Opens the existing database of a company. Raises when the file is missing, locked,
    // not a database, or not a company database.
    CompanyDatabase(std::string companyId, std::string file);
    ~CompanyDatabase();
    CompanyDatabase(const CompanyDatabase&) = delete;
    CompanyDatabase& operator=(const CompanyDatabase&) = delete;

    // Creates a new, empty company database (tables, one options record each). An
    // existing file is replaced.
    static void Create(const std::string& companyId, const std::string& file);

    const std::string& CompanyID() const { return companyId_; }
    const std::string& FileName() const { return file_; }
    // The connection string of this database for the program's database layer.
    static std::string ConnectionString(const std::string& file);

    // Runs one statement with positional values; raises with the driver's text.
    QSqlQuery Exec(const std::string& sql, const QVariantList& values = {});

    // A statement that is prepared once for this database and kept, run with new values
    // each time: for the reads by key made on every record change, where preparing the
    // statement would cost more than running it. Constructing runs the statement (raises as
    // Exec); read its rows through Query() while the object lives. Destroying it resets
    // the statement, so that a kept statement holds no lock between uses. A kept statement
    // still in use (a lookup made while another reads the same statement) is prepared
    // afresh for the inner lookup.
    class KeptQuery {
    public:
        KeptQuery(CompanyDatabase& database, const std::string& sql, const QVariantList& values);
        ~KeptQuery();
        KeptQuery(const KeptQuery&) = delete;
        KeptQuery& operator=(const KeptQuery&) = delete;
        QSqlQuery& Query() { return *query_; }

    private:
        KeptStatement* kept_ = nullptr;  // the database's statement, or nullptr for one of its own
        QSqlQuery own_;
        QSqlQuery* query_ = nullptr;
    };

    // The first row (the given number of columns) of a read by key, as a KeptQuery of the
    // statement reads it; nullopt when there is none. Rows read outside a transaction are
    // remembered while the database stays unchanged, that is while no other connection
    // has committed (the file's change counter, or in WAL mode its data version) and this
    // connection has changed no row (its total changes): reading the same record again then costs
    // no statement. The row returned stays valid until the next ReadRow.
    using Row = std::vector<QVariant>;
    const std::optional<Row>& ReadRow(const std::string& sql, const QVariantList& values,
                                      int columns);

    // Runs the operation in one transaction (committed when it returns, rolled back when it
    // raises).
    template <typename Operation>
    void Transaction(Operation&& operation) {
        Begin();
        try {
            operation();
        } catch (...) {
            Rollback();
            throw;
        }
        Commit();
    }

    // Lookups. An item key may be the formatted or the stored item number (upper case).
    std::optional<ItemInfo> FindItem(const std::string& key);
    std::optional<LocationInfo> FindLocation(const std::string& location);
    std::optional<CustomerInfo> FindCustomer(const std::string& customer);
    std::optional<ItemLocationQuantities> FindItemLocation(const std::string& itemNo,
                                                           const std::string& location);
    std::vector<LocationInfo> Locations();
    std::vector<CustomerInfo> Customers();
    int QuantityDecimals();
    std::string DefaultLocation();

    // The documents behind one quantity of an item at a location; their quantities add
    // up to the location's QTYSALORDR, QTYCOMMIT or QTYONORDER. The item may be given
    // in formatted or stored form.
    std::vector<InquiryDocument> InquiryDocuments(const std::string& item,
                                                  const std::string& location, int docType);

    // Orders. Save validates (customer, items, locations, quantities), assigns the order
    // number of a new order, commits the stock lines of an active order, stores the order
    // and brings the location quantities of every item and location involved up to date,
    // all in one transaction. Returns the order as stored. An error about a line names it
    // by its place among the lines given ("Line 3": the third), blank lines counted.
    Order SaveOrder(const Order& order);
    std::optional<Order> LoadOrder(int32_t orderUniq);
    std::optional<Order> LoadOrderByNumber(const std::string& orderNumber);
    // The order numbers after `after` ("": from the first), in order; at most `limit`
    // of them (-1: all).
    std::vector<std::string> OrderNumbers(const std::string& after = {}, int limit = -1);

    // Recomputes QTYSALORDR, QTYCOMMIT and QTYONORDER of the given item/location pairs
    // (all rows when the list is empty) from the open orders and purchase orders.
    void RecalculateQuantities(
        const std::vector<std::pair<std::string, std::string>>& itemLocations = {});

    QSqlDatabase& Database() { return db_; }

private:
    void Begin();
    void Commit();
    void Rollback();
    [[noreturn]] void Fail(const std::string& what) const;
    // What a driver error means for the clerk (locked, not a database, damaged, or its text).
    static std::string Describe(const QSqlError& error);
    // SaveOrder's steps: the order checked and completed (raises before anything is
    // written), then written with the item/location pairs whose sums it changes.
    Order ValidateOrder(const Order& input);
    void WriteOrder(Order& order);
    std::string NextOrderNumber();

    std::string companyId_;
    std::string file_;
    std::string connectionName_;
    QSqlDatabase db_;
    std::unordered_map<std::string, std::unique_ptr<KeptStatement>> kept_;  // by statement text
    // The remembered rows of ReadRow by statement and values, and the database's state
    // they were read in.
    std::unique_ptr<ChangeCheck> changeCheck_;
    std::unordered_map<std::string, std::optional<Row>> rows_;
    std::optional<Row> unremembered_;  // the row last read in a transaction
    std::string rowKey_;
    struct ChangeStamp {
        int64_t fileCounter = -1;
        int64_t dataVersion = -1;
        int64_t totalChanges = -1;
        bool operator==(const ChangeStamp&) const = default;
    };
    ChangeStamp rowsStamp_;
};

}  // namespace accpac::local
