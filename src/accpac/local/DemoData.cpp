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

}  // namespace

void GenerateDemoData(const std::string& companyFile, int itemCount) {
    Random random(0x4C554D41524FULL);  // fixed seed
    CompanyDatabase db("DEMO", companyFile);

    // Items: the whole catalogue, or an even selection of it.
    std::vector<DemoItem> catalogue;
    for (const ProductLine& line : Catalogue())
        for (size_t m = 0; m < line.models.size(); ++m)
            for (size_t f = 0; f < line.finishes.size(); ++f) {
                const std::string model = std::to_string(101 + m);
                const std::string finish = std::to_string(f);
                std::string description = line.models[m];
                if (*line.finishes[f]) description += std::string(", ") + line.finishes[f];
                const double price = random.Between(line.priceLo * 100, line.priceHi * 100) / 100.0;
                catalogue.push_back({line.code + model + finish,
                                     std::string(line.code) + "-" + model + "/" + finish,
                                     description, line.code, line.unit, line.stock, price,
                                     line.qtyLo, line.qtyHi});
            }
    std::vector<DemoItem> items;
    const size_t count = std::min(catalogue.size(), static_cast<size_t>(std::max(itemCount, 1)));
    for (size_t i = 0; i < count; ++i) items.push_back(catalogue[i * catalogue.size() / count]);

    const char* const locations[][2] = {{"WH1", "Central Warehouse"},
                                        {"WH2", "Eastern Distribution Centre"},
                                        {"WH3", "Downtown Showroom"}};

    db.Transaction([&] {
        for (const auto& location : locations)
            db.Exec("INSERT INTO ICLOC (LOCATION, \"DESC\") VALUES (?, ?)",
                    {location[0], location[1]});
        db.Exec("UPDATE ICOPT SET DEFLOC = 'WH1', QTYDECS = 2");
        for (const auto& customer : kCustomers)
            db.Exec("INSERT INTO ARCUS (IDCUST, NAMECUST) VALUES (?, ?)",
                    {customer[0], customer[1]});

        // Stock: every stock item at WH1, most at WH2, some at the showroom.
        std::map<std::string, std::vector<std::string>> stockedAt;
        for (const DemoItem& item : items) {
            db.Exec(
                "INSERT INTO ICITEM (ITEMNO, FMTITEMNO, \"DESC\", CATEGORY, STOCKITEM, STOCKUNIT, "
                "UNITPRICE)"
                " VALUES (?, ?, ?, ?, ?, ?, ?)",
                {Q(item.itemNo), Q(item.formatted), Q(item.description), Q(item.category),
                 item.stock ? 1 : 0, Q(item.unit), item.price});
            if (!item.stock) continue;
            for (int l = 0; l < 3; ++l) {
                const bool stocked = l == 0 || (l == 1 ? random.Chance(70) : random.Chance(40));
                if (!stocked) continue;
                stockedAt[item.itemNo].push_back(locations[l][0]);
                const int onHand =
                    random.Chance(10) ? 0 : random.Between(item.qtyHi, item.qtyHi * 25);
                const int received = random.Chance(15) ? random.Between(1, item.qtyHi * 2) : 0;
                const int adjusted =
                    random.Chance(10) ? random.Between(-std::min(onHand, 5), 10) : 0;
                const int shipped =
                    random.Chance(15)
                        ? random.Between(0, std::min(onHand + received + adjusted, 15))
                        : 0;
                db.Exec(
                    "INSERT INTO ICILOC (ITEMNO, LOCATION, QTYONHAND, QTYRENOCST, QTYADNOCST, "
                    "QTYSHNOCST)"
                    " VALUES (?, ?, ?, ?, ?, ?)",
                    {Q(item.itemNo), locations[l][0], onHand, received, adjusted, shipped});
            }
        }
        // The showcase item has quantities of every kind at WH1.
        db.Exec(
            "UPDATE ICILOC SET QTYONHAND = 140, QTYRENOCST = 12, QTYADNOCST = -2, QTYSHNOCST = 5"
            " WHERE ITEMNO = ? AND LOCATION = 'WH1'",
            {kDemoItemStored});

        std::vector<const DemoItem*> stockItems, services;
        for (const DemoItem& item : items) (item.stock ? stockItems : services).push_back(&item);
        if (stockItems.empty()) return;
        const DemoItem* showcase = nullptr;
        for (const DemoItem* item : stockItems)
            if (item->itemNo == kDemoItemStored) showcase = item;

        // Open sales orders: about four in five active (committing their stock lines).
        const QDate firstDay(2024, 5, 1);
        const int orders = std::max(4, static_cast<int>(items.size()) / 3);
        for (int o = 1; o <= orders; ++o) {
            const auto& customer =
                kCustomers[random.Between(0, static_cast<int>(std::size(kCustomers)) - 1)];
            const int type = random.Chance(80) ? 1 : 2;
            const QString date = firstDay.addDays(random.Between(0, 45)).toString(Qt::ISODate);
            const std::string number =
                "ORD" + std::string(6 - std::to_string(o).size(), '0') + std::to_string(o);
            db.Exec(
                "INSERT INTO OEORDH (ORDUNIQ, ORDNUMBER, CUSTOMER, BILNAME, ORDDATE, TYPE, "
                "REFERENCE)"
                " VALUES (?, ?, ?, ?, ?, ?, ?)",
                {o, Q(number), customer[0], customer[1], date, type,
                 random.Chance(30) ? "Phone order" : ""});
            const int lineCount = random.Between(1, 6);
            for (int n = 1; n <= lineCount; ++n) {
                const DemoItem* item =
                    stockItems[random.Between(0, static_cast<int>(stockItems.size()) - 1)];
                if (!services.empty() && random.Chance(8))
                    item = services[random.Between(0, static_cast<int>(services.size()) - 1)];
                if (showcase && n == 1 && o <= 3)
                    item = showcase;  // active and future orders for it
                std::string location;
                if (item->stock) {
                    const auto& at = stockedAt[item->itemNo];
                    location = item == showcase && o <= 3
                                   ? "WH1"
                                   : at[random.Between(0, static_cast<int>(at.size()) - 1)];
                }
                const int qty = random.Between(item->qtyLo, item->qtyHi);
                const int committed = type == 1 && item->stock ? qty : 0;
                db.Exec(
                    "INSERT INTO OEORDD (ORDUNIQ, LINENUM, ITEMNO, ITEM, \"DESC\", LOCATION, "
                    "QTYORDERED, QTYCOMMIT, UNIT,"
                    " UNITPRICE, STOCKITEM) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                    {o, n, Q(item->itemNo), Q(item->formatted), Q(item->description), Q(location),
                     qty, committed, Q(item->unit), item->price, item->stock ? 1 : 0});
            }
        }
        db.Exec("UPDATE OEOPT SET NEXTORDNUM = ?", {orders + 1});
        if (showcase) {
            // Make sure one order for the showcase item is a future order (not committed).
            db.Exec("UPDATE OEORDH SET TYPE = 2 WHERE ORDUNIQ = 2");
            db.Exec("UPDATE OEORDH SET TYPE = 1 WHERE ORDUNIQ IN (1, 3)");
            db.Exec(
                "UPDATE OEORDD SET QTYCOMMIT = CASE WHEN STOCKITEM = 1 AND"
                " (SELECT h.TYPE FROM OEORDH h WHERE h.ORDUNIQ = OEORDD.ORDUNIQ) = 1 THEN "
                "QTYORDERED ELSE 0 END"
                " WHERE ORDUNIQ IN (1, 2, 3)");
        }

        // Purchase orders, some partly or fully received.
        const int purchaseOrders = std::max(2, orders / 3);
        for (int p = 1; p <= purchaseOrders; ++p) {
            const DemoItem* first =
                stockItems[random.Between(0, static_cast<int>(stockItems.size()) - 1)];
            if (showcase && p <= 2) first = showcase;
            const char* vendor = VendorFor(first->category);
            const char* vendorName = "";
            for (const auto& v : kVendors)
                if (std::string(v[0]) == vendor) vendorName = v[1];
            const QDate date = firstDay.addDays(random.Between(-20, 40));
            db.Exec(
                "INSERT INTO POPORH (PORHSEQ, PONUMBER, VENDOR, VENDNAME, PODATE, EXPARRIVAL) "
                "VALUES (?, ?, ?, ?, ?, ?)",
                {p, Q("PO" + std::to_string(4000 + p)), vendor, vendorName,
                 date.toString(Qt::ISODate),
                 date.addDays(random.Between(7, 30)).toString(Qt::ISODate)});
            const int lineCount = random.Between(1, 5);
            for (int n = 1; n <= lineCount; ++n) {
                const DemoItem* item = first;
                if (n > 1) {  // further lines from the same vendor
                    for (int tries = 0; tries < 20; ++tries) {
                        const DemoItem* candidate =
                            stockItems[random.Between(0, static_cast<int>(stockItems.size()) - 1)];
                        if (std::string(VendorFor(candidate->category)) == vendor) {
                            item = candidate;
                            break;
                        }
                    }
                }
                const auto& at = stockedAt[item->itemNo];
                const std::string location =
                    item == showcase && p <= 2
                        ? "WH1"
                        : at[random.Between(0, static_cast<int>(at.size()) - 1)];
                const int ordered = random.Between(item->qtyHi, item->qtyHi * 10);
                const int received = random.Chance(65)   ? 0
                                     : random.Chance(70) ? random.Between(1, ordered - 1)
                                                         : ordered;
                db.Exec(
                    "INSERT INTO POPORL (PORHSEQ, LINENUM, ITEMNO, LOCATION, OQORDERED, "
                    "OQRECEIVED, UNITCOST)"
                    " VALUES (?, ?, ?, ?, ?, ?, ?)",
                    {p, n, Q(item->itemNo), Q(location), ordered, item == showcase ? 0 : received,
                     static_cast<double>(static_cast<int>(item->price * 60)) / 100.0});
            }
        }
        db.RecalculateQuantities();
    });
}

}  // namespace accpac::local
