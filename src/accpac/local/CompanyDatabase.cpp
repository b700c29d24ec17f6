#include "accpac/local/CompanyDatabase.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <set>

#include "accpac/local/CompanyDatabaseRows.h"
#include "accpac/local/LocalErrorList.h"
#include "ado/ConnectionString.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"

namespace accpac::local {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QVariant& v) { return v.isNull() ? std::string() : v.toString().toStdString(); }

// A company database made before items had units gets the table when it is opened.
constexpr const char* kItemUnitsSchema =
    "CREATE TABLE IF NOT EXISTS ICITEMU (ITEMNO TEXT NOT NULL, UNIT TEXT NOT NULL, CONVERSION "
    "NUMERIC NOT NULL DEFAULT 1, PRIMARY KEY (ITEMNO, UNIT))";

const char* const kSchema[] = {
    "CREATE TABLE ICITEM (ITEMNO TEXT PRIMARY KEY, FMTITEMNO TEXT NOT NULL UNIQUE, \"DESC\" TEXT "
    "NOT NULL DEFAULT '',"
    " CATEGORY TEXT NOT NULL DEFAULT '', STOCKITEM INTEGER NOT NULL DEFAULT 1, STOCKUNIT TEXT NOT "
    "NULL DEFAULT 'EA',"
    " UNITPRICE NUMERIC NOT NULL DEFAULT 0)",
    kItemUnitsSchema,
    "CREATE TABLE ICLOC (LOCATION TEXT PRIMARY KEY, \"DESC\" TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE ICILOC (ITEMNO TEXT NOT NULL, LOCATION TEXT NOT NULL, QTYONHAND NUMERIC NOT NULL "
    "DEFAULT 0,"
    " QTYRENOCST NUMERIC NOT NULL DEFAULT 0, QTYADNOCST NUMERIC NOT NULL DEFAULT 0, QTYSHNOCST "
    "NUMERIC NOT NULL DEFAULT 0,"
    " QTYONORDER NUMERIC NOT NULL DEFAULT 0, QTYSALORDR NUMERIC NOT NULL DEFAULT 0, QTYCOMMIT "
    "NUMERIC NOT NULL DEFAULT 0,"
    " PRIMARY KEY (ITEMNO, LOCATION))",
    "CREATE TABLE ICOPT (OPTKEY INTEGER PRIMARY KEY, DEFLOC TEXT NOT NULL DEFAULT '', QTYDECS "
    "INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE ARCUS (IDCUST TEXT PRIMARY KEY, NAMECUST TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE OEOPT (OPTKEY INTEGER PRIMARY KEY, NEXTORDNUM INTEGER NOT NULL DEFAULT 1)",
    "CREATE TABLE OEORDH (ORDUNIQ INTEGER PRIMARY KEY, ORDNUMBER TEXT NOT NULL UNIQUE, CUSTOMER "
    "TEXT NOT NULL,"
    " BILNAME TEXT NOT NULL DEFAULT '', ORDDATE TEXT NOT NULL, TYPE INTEGER NOT NULL DEFAULT 1,"
    " REFERENCE TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE OEORDD (ORDUNIQ INTEGER NOT NULL, LINENUM INTEGER NOT NULL, ITEMNO TEXT NOT "
    "NULL, ITEM TEXT NOT NULL,"
    " \"DESC\" TEXT NOT NULL DEFAULT '', LOCATION TEXT NOT NULL DEFAULT '', QTYORDERED NUMERIC NOT "
    "NULL DEFAULT 0,"
    " QTYCOMMIT NUMERIC NOT NULL DEFAULT 0, UNIT TEXT NOT NULL DEFAULT '', UNITPRICE NUMERIC NOT "
    "NULL DEFAULT 0,"
    " STOCKITEM INTEGER NOT NULL DEFAULT 1, PRIMARY KEY (ORDUNIQ, LINENUM))",
    "CREATE INDEX OEORDD_ITEMLOC ON OEORDD (ITEMNO, LOCATION)",
    "CREATE TABLE POPORH (PORHSEQ INTEGER PRIMARY KEY, PONUMBER TEXT NOT NULL UNIQUE, VENDOR TEXT "
    "NOT NULL DEFAULT '',"
    " VENDNAME TEXT NOT NULL DEFAULT '', PODATE TEXT NOT NULL DEFAULT '', EXPARRIVAL TEXT NOT NULL "
    "DEFAULT '')",
    "CREATE TABLE POPORL (PORHSEQ INTEGER NOT NULL, LINENUM INTEGER NOT NULL, ITEMNO TEXT NOT NULL,"
    " LOCATION TEXT NOT NULL, OQORDERED NUMERIC NOT NULL DEFAULT 0, OQRECEIVED NUMERIC NOT NULL "
    "DEFAULT 0,"
    " UNITCOST NUMERIC NOT NULL DEFAULT 0, PRIMARY KEY (PORHSEQ, LINENUM))",
    "CREATE INDEX POPORL_ITEMLOC ON POPORL (ITEMNO, LOCATION)",
    "INSERT INTO ICOPT (OPTKEY, DEFLOC, QTYDECS) VALUES (1, '', 0)",
    "INSERT INTO OEOPT (OPTKEY, NEXTORDNUM) VALUES (1, 1)",
};

const char* const kRequiredTables[] = {"ICITEM", "ICLOC",  "ICILOC", "ICOPT",  "ARCUS",
                                       "OEOPT",  "OEORDH", "OEORDD", "POPORH", "POPORL"};

// A line's quantity in the item's stocking unit: its unit's factor, 1 for a unit the item
// does not list (the stocking unit).
constexpr const char* kOrderedStocking =
    "(d.QTYORDERED * COALESCE((SELECT u.CONVERSION FROM ICITEMU u WHERE u.ITEMNO = d.ITEMNO AND "
    "u.UNIT = d.UNIT), 1))";
constexpr const char* kCommittedStocking =
    "(d.QTYCOMMIT * COALESCE((SELECT u.CONVERSION FROM ICITEMU u WHERE u.ITEMNO = d.ITEMNO AND "
    "u.UNIT = d.UNIT), 1))";

// The sums that ICILOC keeps, per item and location (see the header), in stocking units.
constexpr const char* kSalesOrderSum =
    "COALESCE((SELECT SUM(d.QTYORDERED * COALESCE((SELECT u.CONVERSION FROM ICITEMU u WHERE "
    "u.ITEMNO = d.ITEMNO AND u.UNIT = d.UNIT), 1)) FROM OEORDD d WHERE d.ITEMNO = ICILOC.ITEMNO "
    "AND "
    "d.LOCATION = ICILOC.LOCATION"
    " AND d.STOCKITEM = 1 AND d.QTYORDERED <> 0), 0)";
constexpr const char* kCommittedSum =
    "COALESCE((SELECT SUM(d.QTYCOMMIT * COALESCE((SELECT u.CONVERSION FROM ICITEMU u WHERE "
    "u.ITEMNO = d.ITEMNO AND u.UNIT = d.UNIT), 1)) FROM OEORDD d WHERE d.ITEMNO = ICILOC.ITEMNO "
    "AND d.LOCATION "
    "= ICILOC.LOCATION"
    " AND d.STOCKITEM = 1 AND d.QTYCOMMIT <> 0), 0)";
constexpr const char* kOnOrderSum =
    "COALESCE((SELECT SUM(l.OQORDERED - l.OQRECEIVED) FROM POPORL l WHERE l.ITEMNO = ICILOC.ITEMNO"
    " AND l.LOCATION = ICILOC.LOCATION AND l.OQORDERED > l.OQRECEIVED), 0)";

std::atomic<int> g_connections{0};

std::string NewConnectionName() { return "lumaro-company-" + std::to_string(++g_connections); }

std::string FormatOrderNumber(qlonglong n) {
    std::string digits = std::to_string(n);
    if (digits.size() < 6) digits.insert(0, 6 - digits.size(), '0');
    return "ORD" + digits;
}

}  // namespace

std::string CompanyDatabase::Describe(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    if (code == "5" || code == "6" || error.text().contains("locked", Qt::CaseInsensitive))
        return "the database is locked by another user or program";
    if (code == "26" || error.text().contains("not a database", Qt::CaseInsensitive))
        return "the file is not a database";
    if (code == "11") return "the database is damaged";
    return error.text().trimmed().toStdString();
}

CompanyDatabase::CompanyDatabase(std::string companyId, std::string file)
    : companyId_(std::move(companyId)), file_(std::move(file)) {
    QFileInfo info(Q(file_));
    if (!info.exists()) Fail("the database file " + file_ + " does not exist");
    if (!info.isFile()) Fail(file_ + " is not a database file");
    if (!info.isReadable()) Fail("the database file " + file_ + " cannot be read");

    connectionName_ = NewConnectionName();
    db_ = QSqlDatabase::addDatabase("QSQLITE", Q(connectionName_));
    db_.setDatabaseName(Q(file_));
    db_.setConnectOptions("QSQLITE_BUSY_TIMEOUT=500");
    auto failOpen = [&](const std::string& why) {
        const std::string message = why;
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(Q(connectionName_));
        Fail(message);
    };
    if (!db_.open()) failOpen(Describe(db_.lastError()));

    // Reading the schema finds a file that is not a database and a database that another
    // program holds locked.
    std::set<std::string> tables;
    {
        QSqlQuery query(db_);
        if (!query.exec("SELECT name FROM sqlite_master WHERE type = 'table'")) {
            const std::string why = Describe(query.lastError());
            query = QSqlQuery();
            failOpen(why);
        }
        while (query.next())
            tables.insert(lumaro::ToUpperAscii(query.value(0).toString().toStdString()));
    }
    for (const char* table : kRequiredTables)
        if (!tables.count(table))
            failOpen(file_ + " is not a company database (it has no table " + table + ")");
    if (!tables.count("ICITEMU")) QSqlQuery(db_).exec(kItemUnitsSchema);  // else read as none
}

CompanyDatabase::~CompanyDatabase() {
    kept_.clear();  // the kept statements go before their connection
    changeCheck_.reset();
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(Q(connectionName_));
    }
}

void CompanyDatabase::Create(const std::string& companyId, const std::string& file) {
    QFileInfo info(Q(file));
    if (!QDir().mkpath(info.absolutePath()))
        throw lumaro::RuntimeError(kErrInstallation, "CompanyDatabase",
                                   "The folder of the database of company " + companyId +
                                       " cannot be created: " + info.absolutePath().toStdString() +
                                       ".");
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) QFile::remove(Q(file) + suffix);
    if (QFileInfo::exists(Q(file)))
        throw lumaro::RuntimeError(
            kErrInstallation, "CompanyDatabase",
            "The database of company " + companyId + " cannot be replaced: " + file + ".");

    const std::string name = NewConnectionName();
    std::string failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", Q(name));
        db.setDatabaseName(Q(file));
        if (!db.open()) {
            failure = db.lastError().text().toStdString();
        } else {
            QSqlQuery query(db);
            db.transaction();
            for (const char* statement : kSchema) {
                if (!query.exec(statement)) {
                    failure = query.lastError().text().toStdString();
                    break;
                }
            }
            if (failure.empty() ? !db.commit() : !db.rollback())
                failure = db.lastError().text().toStdString();
            query = QSqlQuery();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(Q(name));
    if (!failure.empty())
        throw lumaro::RuntimeError(kErrInstallation, "CompanyDatabase",
                                   "The database of company " + companyId +
                                       " cannot be created in " + file + ": " + failure + ".");
}

std::string CompanyDatabase::ConnectionString(const std::string& file) {
    return "Provider=SQLite;Data Source=" + ado::QuoteConnectionValue(file);
}

void CompanyDatabase::Fail(const std::string& what) const {
    throw lumaro::RuntimeError(
        kErrCompanyDatabase, "Company " + companyId_,
        "The database of company " + companyId_ + " cannot be used: " + what + ".");
}

QSqlQuery CompanyDatabase::Exec(const std::string& sql, const QVariantList& values) {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.prepare(Q(sql))) Fail(Describe(query.lastError()));
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) Fail(Describe(query.lastError()));
    return query;
}

void CompanyDatabase::Begin() {
    if (!db_.transaction()) Fail(Describe(db_.lastError()));
}
void CompanyDatabase::Commit() {
    if (!db_.commit()) {
        const std::string why = Describe(db_.lastError());
        db_.rollback();
        Fail(why);
    }
}
void CompanyDatabase::Rollback() { db_.rollback(); }

std::optional<ItemInfo> CompanyDatabase::FindItem(const std::string& key) {
    // The stored number (the primary key) wins over a formatted number (its unique index)
    // written the same way.
    const QString k = Q(lumaro::ToUpperAscii(key));
    KeptQuery lookup(
        *this,
        "SELECT ITEMNO, FMTITEMNO, \"DESC\", CATEGORY, STOCKITEM, STOCKUNIT, UNITPRICE FROM ICITEM"
        " WHERE ITEMNO = COALESCE((SELECT ITEMNO FROM ICITEM WHERE ITEMNO = ?),"
        " (SELECT ITEMNO FROM ICITEM WHERE FMTITEMNO = ?))",
        {k, k});
    QSqlQuery& q = lookup.Query();
    if (!q.next()) return std::nullopt;
    return ItemInfo{S(q.value(0)),           S(q.value(1)), S(q.value(2)),        S(q.value(3)),
                    q.value(4).toInt() != 0, S(q.value(5)), q.value(6).toDouble()};
}

std::optional<LocationInfo> CompanyDatabase::FindLocation(const std::string& location) {
    KeptQuery lookup(*this, "SELECT LOCATION, \"DESC\" FROM ICLOC WHERE LOCATION = ?",
                     {Q(lumaro::ToUpperAscii(location))});
    QSqlQuery& q = lookup.Query();
    if (!q.next()) return std::nullopt;
    return LocationInfo{S(q.value(0)), S(q.value(1))};
}

std::optional<CustomerInfo> CompanyDatabase::FindCustomer(const std::string& customer) {
    KeptQuery lookup(*this, "SELECT IDCUST, NAMECUST FROM ARCUS WHERE IDCUST = ?",
                     {Q(lumaro::ToUpperAscii(customer))});
    QSqlQuery& q = lookup.Query();
    if (!q.next()) return std::nullopt;
    return CustomerInfo{S(q.value(0)), S(q.value(1))};
}

std::optional<ItemLocationQuantities> CompanyDatabase::FindItemLocation(
    const std::string& itemNo, const std::string& location) {
    KeptQuery lookup(*this,
                     "SELECT QTYONHAND, QTYRENOCST, QTYADNOCST, QTYSHNOCST, QTYONORDER, "
                     "QTYSALORDR, QTYCOMMIT FROM ICILOC"
                     " WHERE ITEMNO = ? AND LOCATION = ?",
                     {Q(lumaro::ToUpperAscii(itemNo)), Q(lumaro::ToUpperAscii(location))});
    QSqlQuery& q = lookup.Query();
    if (!q.next()) return std::nullopt;
    return ItemLocationQuantities{
        q.value(0).toDouble(), q.value(1).toDouble(), q.value(2).toDouble(), q.value(3).toDouble(),
        q.value(4).toDouble(), q.value(5).toDouble(), q.value(6).toDouble()};
}

std::vector<LocationInfo> CompanyDatabase::Locations() {
    std::vector<LocationInfo> result;
    QSqlQuery q = Exec("SELECT LOCATION, \"DESC\" FROM ICLOC ORDER BY LOCATION");
    while (q.next()) result.push_back({S(q.value(0)), S(q.value(1))});
    return result;
}

std::vector<CustomerInfo> CompanyDatabase::Customers() {
    std::vector<CustomerInfo> result;
    QSqlQuery q = Exec("SELECT IDCUST, NAMECUST FROM ARCUS ORDER BY IDCUST");
    while (q.next()) result.push_back({S(q.value(0)), S(q.value(1))});
    return result;
}

int CompanyDatabase::QuantityDecimals() {
    QSqlQuery q = Exec("SELECT QTYDECS FROM ICOPT ORDER BY OPTKEY LIMIT 1");
    return q.next() ? q.value(0).toInt() : 0;
}

std::string CompanyDatabase::DefaultLocation() {
    QSqlQuery q = Exec("SELECT DEFLOC FROM ICOPT ORDER BY OPTKEY LIMIT 1");
    return q.next() ? S(q.value(0)) : std::string();
}

std::vector<InquiryDocument> CompanyDatabase::InquiryDocuments(const std::string& item,
                                                               const std::string& location,
                                                               int docType) {
    std::string itemNo = lumaro::ToUpperAscii(item);
    if (auto found = FindItem(item)) itemNo = found->itemNo;
    const QVariantList keys{Q(itemNo), Q(lumaro::ToUpperAscii(location))};
    std::string sql;
    switch (docType) {
        case kDocSalesOrders:
        case kDocCommitted: {
            const char* column = docType == kDocSalesOrders ? "d.QTYORDERED" : "d.QTYCOMMIT";
            const char* stocking =
                docType == kDocSalesOrders ? kOrderedStocking : kCommittedStocking;
            sql = std::string("SELECT h.ORDNUMBER, h.ORDDATE, h.CUSTOMER, h.BILNAME, d.LINENUM, ") +
                  stocking +
                  " FROM OEORDD d JOIN OEORDH h ON h.ORDUNIQ = d.ORDUNIQ WHERE d.ITEMNO = ? AND "
                  "d.LOCATION = ?"
                  " AND d.STOCKITEM = 1 AND " +
                  column + " <> 0 ORDER BY h.ORDNUMBER, d.LINENUM";
            break;
        }
        case kDocPurchaseOrders:
            sql =
                "SELECT h.PONUMBER, h.PODATE, h.VENDOR, h.VENDNAME, l.LINENUM, l.OQORDERED - "
                "l.OQRECEIVED"
                " FROM POPORL l JOIN POPORH h ON h.PORHSEQ = l.PORHSEQ WHERE l.ITEMNO = ? AND "
                "l.LOCATION = ?"
                " AND l.OQORDERED > l.OQRECEIVED ORDER BY h.PONUMBER, l.LINENUM";
            break;
        default:
            throw lumaro::RuntimeError(
                kErrRecordInvalid, "Company " + companyId_,
                "There is no document type " + std::to_string(docType) +
                    " (1 sales orders, 2 committed quantities, 3 purchase orders).");
    }
    std::vector<InquiryDocument> result;
    QSqlQuery q = Exec(sql, keys);
    while (q.next())
        result.push_back({S(q.value(0)), S(q.value(1)), S(q.value(2)), S(q.value(3)),
                          q.value(4).toInt(), q.value(5).toDouble()});
    return result;
}

void CompanyDatabase::RecalculateQuantities(
    const std::vector<std::pair<std::string, std::string>>& itemLocations) {
    const std::string update = std::string("UPDATE ICILOC SET QTYSALORDR = ") + kSalesOrderSum +
                               ", QTYCOMMIT = " + kCommittedSum + ", QTYONORDER = " + kOnOrderSum;
    if (itemLocations.empty()) {
        Exec(update);
        return;
    }
    for (const auto& [itemNo, location] : itemLocations) {
        Exec("INSERT OR IGNORE INTO ICILOC (ITEMNO, LOCATION) VALUES (?, ?)",
             {Q(itemNo), Q(location)});
        Exec(update + " WHERE ITEMNO = ? AND LOCATION = ?", {Q(itemNo), Q(location)});
    }
}

std::optional<Order> CompanyDatabase::LoadOrder(int32_t orderUniq) {
    Order order;
    {
        QSqlQuery h = Exec(
            "SELECT ORDUNIQ, ORDNUMBER, CUSTOMER, BILNAME, ORDDATE, TYPE, REFERENCE FROM OEORDH "
            "WHERE ORDUNIQ = ?",
            {orderUniq});
        if (!h.next()) return std::nullopt;
        order.header = {h.value(0).toInt(), S(h.value(1)),      S(h.value(2)), S(h.value(3)),
                        S(h.value(4)),      h.value(5).toInt(), S(h.value(6))};
    }
    QSqlQuery d = Exec(
        "SELECT LINENUM, ITEMNO, ITEM, \"DESC\", LOCATION, QTYORDERED, QTYCOMMIT, UNIT, UNITPRICE, "
        "STOCKITEM"
        " FROM OEORDD WHERE ORDUNIQ = ? ORDER BY LINENUM",
        {orderUniq});
    while (d.next())
        order.lines.push_back({d.value(0).toInt(), S(d.value(1)), S(d.value(2)), S(d.value(3)),
                               S(d.value(4)), d.value(5).toDouble(), d.value(6).toDouble(),
                               S(d.value(7)), d.value(8).toDouble(), d.value(9).toInt() != 0});
    return order;
}

std::optional<Order> CompanyDatabase::LoadOrderByNumber(const std::string& orderNumber) {
    int32_t uniq = 0;
    {
        QSqlQuery q = Exec("SELECT ORDUNIQ FROM OEORDH WHERE ORDNUMBER = ?",
                           {Q(lumaro::ToUpperAscii(orderNumber))});
        if (!q.next()) return std::nullopt;
        uniq = q.value(0).toInt();
    }
    return LoadOrder(uniq);
}

std::vector<std::string> CompanyDatabase::OrderNumbers(const std::string& after, int limit) {
    std::vector<std::string> result;
    QSqlQuery q =
        Exec("SELECT ORDNUMBER FROM OEORDH WHERE ORDNUMBER > ? ORDER BY ORDNUMBER LIMIT ?",
             {Q(after), limit});
    while (q.next()) result.push_back(S(q.value(0)));
    return result;
}

namespace {
[[noreturn]] void Invalid(const std::string& what) {
    throw lumaro::RuntimeError(kErrRecordInvalid, "OE0520", what);
}
}  // namespace

Order CompanyDatabase::SaveOrder(const Order& input) {
    Order order = ValidateOrder(input);
    Transaction([&] { WriteOrder(order); });
    return *LoadOrder(order.header.orderUniq);
}

Order CompanyDatabase::ValidateOrder(const Order& input) {
    Order order;
    order.header = input.header;
    OrderHeader& header = order.header;
    header.customer = lumaro::ToUpperAscii(lumaro::TrimSpaces(header.customer));
    if (header.customer.empty()) Invalid("The order has no customer.");
    auto customer = FindCustomer(header.customer);
    if (!customer) Invalid("Customer \"" + header.customer + "\" does not exist.");
    header.customerName = customer->name;
    if (header.orderDate.empty())
        header.orderDate = QDate::currentDate().toString(Qt::ISODate).toStdString();
    if (!QDate::fromString(Q(header.orderDate), Qt::ISODate).isValid())
        Invalid("The order date \"" + header.orderDate + "\" is not a date (yyyy-mm-dd).");
    if (header.type != 1 && header.type != 2)
        Invalid("The order type " + std::to_string(header.type) +
                " is not 1 (active) or 2 (future).");

    for (size_t row = 0; row < input.lines.size(); ++row) {
        OrderLine line = input.lines[row];
        line.item = lumaro::TrimSpaces(line.item);
        if (line.item.empty()) continue;  // a line left without an item is not kept
        // Errors name the line as the clerk sees it: its place among the lines given.
        const std::string where = "Line " + std::to_string(row + 1) + ": ";
        auto item = FindItem(line.item);
        if (!item) Invalid(where + "item \"" + line.item + "\" does not exist.");
        line.itemNo = item->itemNo;
        line.item = item->formattedItemNo;
        if (lumaro::TrimSpaces(line.description).empty()) line.description = item->description;
        if (line.unit.empty()) line.unit = item->unit;
        line.stockItem = item->stockItem;
        line.location = lumaro::ToUpperAscii(lumaro::TrimSpaces(line.location));
        if (line.stockItem || !line.location.empty()) {
            if (line.location.empty())
                Invalid(where + "the stock item " + line.item + " needs a location.");
            if (!FindLocation(line.location))
                Invalid(where + "location \"" + line.location + "\" does not exist.");
        }
        if (!std::isfinite(line.quantityOrdered) || line.quantityOrdered <= 0)
            Invalid(where + "the quantity ordered must be greater than zero.");
        line.quantityCommitted = header.type == 1 && line.stockItem ? line.quantityOrdered : 0;
        line.lineNumber = static_cast<int32_t>(order.lines.size() + 1);
        order.lines.push_back(line);
    }
    return order;
}

std::string CompanyDatabase::NextOrderNumber() {
    qlonglong next = 1;
    {
        QSqlQuery q = Exec("SELECT NEXTORDNUM FROM OEOPT WHERE OPTKEY = 1");
        if (q.next()) next = q.value(0).toLongLong();
    }
    // Skip numbers already taken (orders imported with their own numbers).
    for (;;) {
        QSqlQuery q =
            Exec("SELECT 1 FROM OEORDH WHERE ORDNUMBER = ?", {Q(FormatOrderNumber(next))});
        if (!q.next()) break;
        ++next;
    }
    Exec("UPDATE OEOPT SET NEXTORDNUM = ? WHERE OPTKEY = 1", {next + 1});
    return FormatOrderNumber(next);
}

void CompanyDatabase::WriteOrder(Order& order) {
    OrderHeader& header = order.header;
    std::set<std::pair<std::string, std::string>> touched;
    for (const OrderLine& line : order.lines)
        if (line.stockItem) touched.insert({line.itemNo, line.location});
    if (header.orderUniq == 0) {
        {
            QSqlQuery q = Exec("SELECT COALESCE(MAX(ORDUNIQ), 0) + 1 FROM OEORDH");
            q.next();
            header.orderUniq = q.value(0).toInt();
        }
        header.orderNumber = NextOrderNumber();
        Exec(
            "INSERT INTO OEORDH (ORDUNIQ, ORDNUMBER, CUSTOMER, BILNAME, ORDDATE, TYPE, REFERENCE)"
            " VALUES (?, ?, ?, ?, ?, ?, ?)",
            {header.orderUniq, Q(header.orderNumber), Q(header.customer), Q(header.customerName),
             Q(header.orderDate), header.type, Q(header.reference)});
    } else {
        {
            QSqlQuery q =
                Exec("SELECT ORDNUMBER FROM OEORDH WHERE ORDUNIQ = ?", {header.orderUniq});
            if (!q.next())
                Invalid("The order no longer exists; it may have been deleted by another user.");
            header.orderNumber = S(q.value(0));
        }
        {
            // The sums of the lines the order had change too.
            QSqlQuery q =
                Exec("SELECT ITEMNO, LOCATION FROM OEORDD WHERE ORDUNIQ = ? AND STOCKITEM = 1",
                     {header.orderUniq});
            while (q.next()) touched.insert({S(q.value(0)), S(q.value(1))});
        }
        Exec(
            "UPDATE OEORDH SET CUSTOMER = ?, BILNAME = ?, ORDDATE = ?, TYPE = ?, REFERENCE = ? "
            "WHERE ORDUNIQ = ?",
            {Q(header.customer), Q(header.customerName), Q(header.orderDate), header.type,
             Q(header.reference), header.orderUniq});
        Exec("DELETE FROM OEORDD WHERE ORDUNIQ = ?", {header.orderUniq});
    }
    for (const OrderLine& line : order.lines)
        Exec(
            "INSERT INTO OEORDD (ORDUNIQ, LINENUM, ITEMNO, ITEM, \"DESC\", LOCATION, QTYORDERED,"
            " QTYCOMMIT, UNIT, UNITPRICE, STOCKITEM) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {header.orderUniq, line.lineNumber, Q(line.itemNo), Q(line.item), Q(line.description),
             Q(line.location), line.quantityOrdered, line.quantityCommitted, Q(line.unit),
             line.unitPrice, line.stockItem ? 1 : 0});
    RecalculateQuantities({touched.begin(), touched.end()});
}

}  // namespace accpac::local
