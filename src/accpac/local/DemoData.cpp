// The demo company's data: a catalogue of office lighting, furniture and supplies with
// item numbers in three segments (product line, model, finish: A1-103/0), stock at three
// locations, customers, open sales orders and purchase orders. A fixed seed and a
// generator of our own make every run produce the same data on every platform.

#include <QDate>
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/Installation.h"

namespace accpac::local {

namespace {

// splitmix64: small, fast, and the same sequence everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Between(int lo, int hi) {
        return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
    }
    bool Chance(int percent) { return Between(1, 100) <= percent; }

private:
    uint64_t state_;
};

struct ProductLine {
    const char* code;  // first segment
    const char* unit;
    int priceLo, priceHi;  // whole currency units
    int qtyLo, qtyHi;      // usual quantity of an order line
    bool stock;
    std::vector<const char*> models;    // second segment 101, 102, ...
    std::vector<const char*> finishes;  // third segment 0, 1, ...
};

const std::vector<ProductLine>& Catalogue() {
    static const std::vector<ProductLine> lines = {
        {"A1",
         "EA",
         25,
         120,
         1,
         12,
         true,
         {"Swing-Arm Desk Lamp", "Banker's Desk Lamp", "Fluorescent Desk Lamp", "LED Task Lamp",
          "Clamp-On Architect Lamp", "Mini Clip Lamp"},
         {"Black", "White", "Silver", "Brass"}},
        {"A2",
         "EA",
         60,
         260,
         1,
         6,
         true,
         {"Torchiere Floor Lamp", "Arc Floor Lamp", "Reading Floor Lamp", "Tripod Floor Lamp",
          "Tree Floor Lamp, 3 Lights"},
         {"Black", "White", "Bronze"}},
        {"A3",
         "EA",
         40,
         320,
         1,
         10,
         true,
         {"Flush-Mount Ceiling Light 12\"", "Pendant Light", "Track Light Kit, 4 Heads",
          "Recessed Downlight 6\"", "Fluorescent Troffer 2'x4'"},
         {"White", "Nickel", "Bronze"}},
        {"A4",
         "PK",
         8,
         45,
         2,
         40,
         true,
         {"LED Bulb A19 60W Equiv.", "LED Bulb BR30 65W Equiv.", "Fluorescent Tube T8 4'",
          "Halogen Bulb MR16 50W", "Compact Fluorescent 13W", "LED Tube T8 4'"},
         {"2700K", "3000K", "4000K", "5000K"}},
        {"B1",
         "EA",
         90,
         690,
         1,
         8,
         true,
         {"Ergonomic Task Chair", "Executive High-Back Chair", "Mesh Back Chair",
          "Stacking Guest Chair", "Drafting Stool", "Conference Chair"},
         {"Black", "Grey", "Navy", "Burgundy"}},
        {"B2",
         "EA",
         180,
         1450,
         1,
         4,
         true,
         {"Rectangular Desk 60\"x30\"", "L-Shaped Desk", "Height-Adjustable Desk",
          "Computer Workstation", "Writing Desk"},
         {"Oak", "Walnut", "Maple", "Grey"}},
        {"B3",
         "EA",
         120,
         760,
         1,
         5,
         true,
         {"Vertical File Cabinet, 2 Drawers", "Vertical File Cabinet, 4 Drawers",
          "Lateral File Cabinet, 3 Drawers", "Mobile Pedestal", "Storage Cabinet 72\""},
         {"Black", "Putty", "Grey"}},
        {"B4",
         "EA",
         70,
         380,
         1,
         6,
         true,
         {"Bookcase, 3 Shelves", "Bookcase, 5 Shelves", "Wall Shelf 36\"",
          "Steel Shelving Unit 72\""},
         {"Oak", "Cherry", "Black"}},
        {"C1",
         "PK",
         5,
         60,
         5,
         60,
         true,
         {"Copy Paper Letter 20 lb", "Copy Paper Legal 20 lb", "Laser Paper 24 lb",
          "Index Cards 3\"x5\"", "Ruled Pads Letter, 12"},
         {"White", "Ivory", "Canary"}},
        {"C2",
         "BX",
         4,
         28,
         2,
         50,
         true,
         {"Ballpoint Pens Medium, 12", "Gel Pens Fine, 12", "Felt-Tip Markers, 12",
          "Highlighters Chisel, 12", "Mechanical Pencils 0.5 mm, 12", "Whiteboard Markers, 4"},
         {"Black", "Blue", "Red", "Green"}},
        {"C3",
         "EA",
         3,
         35,
         5,
         80,
         true,
         {"Ring Binder 1\"", "Ring Binder 2\"", "Presentation Binder 1.5\"",
          "File Folders Letter, 100", "Hanging Folders Letter, 25"},
         {"Black", "Blue", "Red", "White"}},
        {"D1",
         "EA",
         15,
         260,
         1,
         15,
         true,
         {"Wireless Mouse", "USB Keyboard", "Monitor Arm", "Laptop Stand", "USB-C Docking Station",
          "Webcam 1080p"},
         {"Black", "White", "Silver"}},
        {"D2",
         "EA",
         6,
         45,
         2,
         30,
         true,
         {"HDMI Cable 6'", "USB-C Cable 3'", "Ethernet Cable Cat6 10'", "Power Bar, 6 Outlets",
          "DisplayPort Cable 6'"},
         {"Black", "White", "Grey"}},
        {"S1",
         "HR",
         45,
         150,
         1,
         8,
         false,
         {"Installation Service", "Delivery Charge", "Assembly Service",
          "Extended Warranty, 1 Year", "Extended Warranty, 3 Years", "Design Consultation"},
         {""}},
    };
    return lines;
}

struct DemoItem {
    std::string itemNo, formatted, description, category, unit;
    bool stock;
    double price;
    int qtyLo, qtyHi;
};

const char* const kCustomers[][2] = {
    {"1100", "Bayside Dental Clinic"},       {"1105", "Northgate Property Management"},
    {"1110", "Harbourview Hotel"},           {"1115", "Maple Ridge School District"},
    {"1120", "Corbett & Lane Architects"},   {"1125", "Riverside Medical Centre"},
    {"1130", "Summit Engineering Ltd."},     {"1135", "Greenfield Public Library"},
    {"1140", "O'Brien Law Offices"},         {"1145", "Crescent Insurance Brokers"},
    {"1150", "Lakeshore Community College"}, {"1155", "Pinecrest Retirement Residence"},
    {"1160", "Atlas Logistics Inc."},        {"1165", "Brightwater Accounting"},
    {"1170", "Cedar Hill Veterinary"},       {"1175", "Westbrook Realty"},
    {"1180", "Union Street Cafe"},           {"1185", "Keystone Construction"},
    {"1190", "Meridian Software Group"},     {"1195", "Parkview Fitness Club"},
};

const char* const kVendors[][2] = {
    {"LUMEN", "Lumenline Lighting Supply"},   {"SEATCO", "SeatCo Furniture Manufacturing"},
    {"STEELW", "Steelworks Storage Systems"}, {"PAPERM", "Paper Mill Direct"},
    {"INKPRO", "InkPro Writing Instruments"}, {"TECHAC", "TechAccess Distribution"},
};

const char* VendorFor(const std::string& category) {
    if (category[0] == 'A') return "LUMEN";
    if (category == "B1" || category == "B2") return "SEATCO";
    if (category[0] == 'B') return "STEELW";
    if (category == "C2") return "INKPRO";
    if (category[0] == 'C') return "PAPERM";
    return "TECHAC";
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

const char* const kLocations[][2] = {{"WH1", "Central Warehouse"},
                                     {"WH2", "Eastern Distribution Centre"},
                                     {"WH3", "Downtown Showroom"}};
const QDate kFirstDay(2024, 5, 1);

// Writes the demo data in steps that draw from one sequence of random numbers, in a fixed
// order, so that every run writes the same data.
class DemoGenerator {
public:
    DemoGenerator(CompanyDatabase& db, int itemCount) : db_(db) { SelectItems(itemCount); }

    void Write() {
        WriteSetup();
        WriteItems();
        for (const DemoItem& item : items_) (item.stock ? stockItems_ : services_).push_back(&item);
        if (stockItems_.empty()) return;
        for (const DemoItem* item : stockItems_)
            if (item->itemNo == kDemoItemStored) showcase_ = item;
        WriteSalesOrders();
        WritePurchaseOrders();
        db_.RecalculateQuantities();
    }

private:
    int Pick(size_t count) { return random_.Between(0, static_cast<int>(count) - 1); }
    const DemoItem* AnyStockItem() {
        return stockItems_[static_cast<size_t>(Pick(stockItems_.size()))];
    }
    std::string AnyLocationOf(const DemoItem& item) {
        const auto& at = stockedAt_[item.itemNo];
        return at[static_cast<size_t>(Pick(at.size()))];
    }

    // Items: the whole catalogue, or an even selection of it.
    void SelectItems(int itemCount) {
        std::vector<DemoItem> catalogue;
        for (const ProductLine& line : Catalogue())
            for (size_t m = 0; m < line.models.size(); ++m)
                for (size_t f = 0; f < line.finishes.size(); ++f) {
                    const std::string model = std::to_string(101 + m);
                    const std::string finish = std::to_string(f);
                    std::string description = line.models[m];
                    if (*line.finishes[f]) description += std::string(", ") + line.finishes[f];
                    const double price =
                        random_.Between(line.priceLo * 100, line.priceHi * 100) / 100.0;
                    catalogue.push_back({line.code + model + finish,
                                         std::string(line.code) + "-" + model + "/" + finish,
                                         description, line.code, line.unit, line.stock, price,
                                         line.qtyLo, line.qtyHi});
                }
        const size_t count =
            std::min(catalogue.size(), static_cast<size_t>(std::max(itemCount, 1)));
        for (size_t i = 0; i < count; ++i)
            items_.push_back(catalogue[i * catalogue.size() / count]);
    }

    void WriteSetup() {
        for (const auto& location : kLocations)
            db_.Exec("INSERT INTO ICLOC (LOCATION, \"DESC\") VALUES (?, ?)",
                     {location[0], location[1]});
        db_.Exec("UPDATE ICOPT SET DEFLOC = 'WH1', QTYDECS = 2");
        for (const auto& customer : kCustomers)
            db_.Exec("INSERT INTO ARCUS (IDCUST, NAMECUST) VALUES (?, ?)",
                     {customer[0], customer[1]});
    }

    // Stock: every stock item at WH1, most at WH2, some at the showroom.
    void WriteItems() {
        for (const DemoItem& item : items_) {
            db_.Exec(
                "INSERT INTO ICITEM (ITEMNO, FMTITEMNO, \"DESC\", CATEGORY, STOCKITEM, STOCKUNIT,"
                " UNITPRICE) VALUES (?, ?, ?, ?, ?, ?, ?)",
                {Q(item.itemNo), Q(item.formatted), Q(item.description), Q(item.category),
                 item.stock ? 1 : 0, Q(item.unit), item.price});
            db_.Exec("INSERT INTO ICITEMU (ITEMNO, UNIT, CONVERSION) VALUES (?, ?, 1)",
                     {Q(item.itemNo), Q(item.unit)});
            if (!item.stock) continue;
            for (int l = 0; l < 3; ++l) {
                const bool stocked = l == 0 || (l == 1 ? random_.Chance(70) : random_.Chance(40));
                if (stocked) WriteStock(item, kLocations[l][0]);
            }
        }
        // The showcase item is also sold by the case of 12.
        db_.Exec(
            "INSERT INTO ICITEMU (ITEMNO, UNIT, CONVERSION) SELECT ITEMNO, 'CASE', 12 FROM ICITEM"
            " WHERE ITEMNO = ?",
            {kDemoItemStored});
        // The showcase item has quantities of every kind at WH1.
        db_.Exec(
            "UPDATE ICILOC SET QTYONHAND = 140, QTYRENOCST = 12, QTYADNOCST = -2, QTYSHNOCST = 5"
            " WHERE ITEMNO = ? AND LOCATION = 'WH1'",
            {kDemoItemStored});
    }

    void WriteStock(const DemoItem& item, const char* location) {
        stockedAt_[item.itemNo].push_back(location);
        const int onHand = random_.Chance(10) ? 0 : random_.Between(item.qtyHi, item.qtyHi * 25);
        const int received = random_.Chance(15) ? random_.Between(1, item.qtyHi * 2) : 0;
        const int adjusted = random_.Chance(10) ? random_.Between(-std::min(onHand, 5), 10) : 0;
        const int shipped =
            random_.Chance(15) ? random_.Between(0, std::min(onHand + received + adjusted, 15)) : 0;
        db_.Exec(
            "INSERT INTO ICILOC (ITEMNO, LOCATION, QTYONHAND, QTYRENOCST, QTYADNOCST, QTYSHNOCST)"
            " VALUES (?, ?, ?, ?, ?, ?)",
            {Q(item.itemNo), location, onHand, received, adjusted, shipped});
    }

    // Open sales orders: about four in five active (committing their stock lines).
    void WriteSalesOrders() {
        orders_ = std::max(4, static_cast<int>(items_.size()) / 3);
        for (int o = 1; o <= orders_; ++o) {
            const auto& customer = kCustomers[Pick(std::size(kCustomers))];
            const int type = random_.Chance(80) ? 1 : 2;
            const QString date = kFirstDay.addDays(random_.Between(0, 45)).toString(Qt::ISODate);
            const std::string number =
                "ORD" + std::string(6 - std::to_string(o).size(), '0') + std::to_string(o);
            db_.Exec(
                "INSERT INTO OEORDH (ORDUNIQ, ORDNUMBER, CUSTOMER, BILNAME, ORDDATE, TYPE,"
                " REFERENCE) VALUES (?, ?, ?, ?, ?, ?, ?)",
                {o, Q(number), customer[0], customer[1], date, type,
                 random_.Chance(30) ? "Phone order" : ""});
            const int lineCount = random_.Between(1, 6);
            for (int n = 1; n <= lineCount; ++n) WriteSalesOrderLine(o, n, type);
        }
        db_.Exec("UPDATE OEOPT SET NEXTORDNUM = ?", {orders_ + 1});
        if (!showcase_) return;
        // Make sure one order for the showcase item is a future order (not committed).
        db_.Exec("UPDATE OEORDH SET TYPE = 2 WHERE ORDUNIQ = 2");
        db_.Exec("UPDATE OEORDH SET TYPE = 1 WHERE ORDUNIQ IN (1, 3)");
        db_.Exec(
            "UPDATE OEORDD SET QTYCOMMIT = CASE WHEN STOCKITEM = 1 AND"
            " (SELECT h.TYPE FROM OEORDH h WHERE h.ORDUNIQ = OEORDD.ORDUNIQ) = 1 THEN "
            "QTYORDERED ELSE 0 END"
            " WHERE ORDUNIQ IN (1, 2, 3)");
    }

    void WriteSalesOrderLine(int o, int n, int type) {
        const DemoItem* item = AnyStockItem();
        if (!services_.empty() && random_.Chance(8))
            item = services_[static_cast<size_t>(Pick(services_.size()))];
        const bool showcaseLine = showcase_ && n == 1 && o <= 3;
        if (showcaseLine) item = showcase_;  // active and future orders for it
        std::string location;
        if (item->stock) location = item == showcase_ && o <= 3 ? "WH1" : AnyLocationOf(*item);
        const int qty = random_.Between(item->qtyLo, item->qtyHi);
        const int committed = type == 1 && item->stock ? qty : 0;
        db_.Exec(
            "INSERT INTO OEORDD (ORDUNIQ, LINENUM, ITEMNO, ITEM, \"DESC\", LOCATION, QTYORDERED,"
            " QTYCOMMIT, UNIT, UNITPRICE, STOCKITEM) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {o, n, Q(item->itemNo), Q(item->formatted), Q(item->description), Q(location), qty,
             committed, Q(item->unit), item->price, item->stock ? 1 : 0});
    }

    // Purchase orders, some partly or fully received.
    void WritePurchaseOrders() {
        const int purchaseOrders = std::max(2, orders_ / 3);
        for (int p = 1; p <= purchaseOrders; ++p) {
            const DemoItem* first = AnyStockItem();
            if (showcase_ && p <= 2) first = showcase_;
            const char* vendor = VendorFor(first->category);
            const char* vendorName = "";
            for (const auto& v : kVendors)
                if (std::string(v[0]) == vendor) vendorName = v[1];
            const QDate date = kFirstDay.addDays(random_.Between(-20, 40));
            db_.Exec(
                "INSERT INTO POPORH (PORHSEQ, PONUMBER, VENDOR, VENDNAME, PODATE, EXPARRIVAL) "
                "VALUES (?, ?, ?, ?, ?, ?)",
                {p, Q("PO" + std::to_string(4000 + p)), vendor, vendorName,
                 date.toString(Qt::ISODate),
                 date.addDays(random_.Between(7, 30)).toString(Qt::ISODate)});
            const int lineCount = random_.Between(1, 5);
            for (int n = 1; n <= lineCount; ++n) WritePurchaseOrderLine(p, n, first, vendor);
        }
    }

    void WritePurchaseOrderLine(int p, int n, const DemoItem* first, const char* vendor) {
        const DemoItem* item = first;
        if (n > 1) {  // further lines from the same vendor
            for (int tries = 0; tries < 20; ++tries) {
                const DemoItem* candidate = AnyStockItem();
                if (std::string(VendorFor(candidate->category)) == vendor) {
                    item = candidate;
                    break;
                }
            }
        }
        const std::string location =
            item == showcase_ && p <= 2 ? std::string("WH1") : AnyLocationOf(*item);
        const int ordered = random_.Between(item->qtyHi, item->qtyHi * 10);
        const int received = random_.Chance(65)   ? 0
                             : random_.Chance(70) ? random_.Between(1, ordered - 1)
                                                  : ordered;
        db_.Exec(
            "INSERT INTO POPORL (PORHSEQ, LINENUM, ITEMNO, LOCATION, OQORDERED, OQRECEIVED,"
            " UNITCOST) VALUES (?, ?, ?, ?, ?, ?, ?)",
            {p, n, Q(item->itemNo), Q(location), ordered, item == showcase_ ? 0 : received,
             static_cast<double>(static_cast<int>(item->price * 60)) / 100.0});
    }

    CompanyDatabase& db_;
    Random random_{0x4C554D41524FULL};  // fixed seed
    std::vector<DemoItem> items_;
    std::vector<const DemoItem*> stockItems_, services_;
    const DemoItem* showcase_ = nullptr;
    std::map<std::string, std::vector<std::string>> stockedAt_;
    int orders_ = 0;
};

}  // namespace

void GenerateDemoData(const std::string& companyFile, int itemCount) {
    CompanyDatabase db("DEMO", companyFile);
    DemoGenerator generator(db, itemCount);
    db.Transaction([&] { generator.Write(); });
}

}  // namespace accpac::local
