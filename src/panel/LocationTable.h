#pragma once
// The quantities of one item at every location of the company, in a small tool window the
// Quantity panel opens beside the order entry window (its button or F6). One row per
// location, sorted by code, with the five figures the panel shows; the panel's location
// and the line's location are marked, and a location where the item is not stocked (the
// query gives no row) says so instead of figures.
//
// The figures are read with the configured query, once per location, one after another
// on a lookup worker of the table's own: the window waits a few milliseconds at most for
// the answers that come at once, and takes the others when they come. Rows show "…"
// until their answer comes. Showing another item cancels what is still being read
// for the previous one. Esc closes the window; the panel shows it again on the next F6.
// F6 in the table reads it again.
//
// Double-clicking the sales-order, purchase-order or committed figure of a location opens
// the inventory inquiry for that kind of document at that location, as the panel's zoom
// buttons do for the panel's location (and, like them, the purchase-order and committed
// figures only when above zero). On-hand and available quantities have no documents
// behind them in the inquiry: double-clicking them does nothing.

#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "panel/LookupWorker.h"

class QLabel;
class QTableWidget;

namespace lumaro {

class LocationTable : public QWidget {
    Q_OBJECT
public:
    // The table's columns: the location, then the five figures in the panel's order.
    enum Column : int {
        kLocationColumn,
        kOnHandColumn,
        kSalesOrderColumn,
        kPurchaseOrderColumn,
        kCommittedColumn,
        kAvailableColumn,
        kColumnCount
    };
    // Opens the inquiry of a location for a document kind (1 sales orders, 2 committed,
    // 3 purchase orders).
    using Zoom = std::function<void(const std::string& location, int16_t docType)>;

    struct Setup {
        std::string connectionString;
        std::string query;  // the configured query: item number, then location
        std::chrono::milliseconds queryTimeout{15000};
        std::string panelLocation;
        // The company's locations; nullopt when the platform cannot list them.
        std::optional<std::vector<std::string>> locations;
        int decimals = 0;  // of the quantities, as the panel's controls show them
        Zoom zoom;         // unset: double-clicking opens nothing
    };

    // A tool window of `owner` (it stays over it and goes with it), hidden until shown.
    LocationTable(Setup setup, QWidget* owner);
    ~LocationTable() override;
    LocationTable(const LocationTable&) = delete;
    LocationTable& operator=(const LocationTable&) = delete;

    // Shows the line's item: `shownItem` as the line shows it ("" : no item on the line),
    // `item` as the item record holds it, the query's item number ("": the item is not in
    // the item file), and the line's location. Reads the figures when the item differs
    // from the one shown, or always with `again`; otherwise only the marks follow.
    void ShowItem(const std::string& shownItem, const std::string& item,
                  const std::string& lineLocation, bool again = false);
    // Every location of the item shown has its answer.
    bool Filled() const { return next_ >= rows_.size(); }
    const std::string& Item() const { return item_; }

    QTableWidget* grid;
    QLabel* lblCaption;  // the item, or why there are no rows

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Row {
        std::string location;
        bool found = false;
        std::vector<double> figures;  // in the table's column order, when found
    };
    void ReadNext();
    void Answer(uint64_t id, const LookupAnswer& answer);
    void ShowRow(size_t row, const LookupAnswer* answer);
    void MarkRows();
    void DoubleClicked(int row, int column);

    Setup setup_;
    std::unique_ptr<LookupWorker> worker_;
    std::vector<Row> rows_;
    std::string shownItem_;
    std::string item_;
    std::string lineLocation_;
    size_t next_ = 0;       // the row being read; rows_.size() when all are answered
    uint64_t pending_ = 0;  // the worker's number of that lookup
};

}  // namespace lumaro
