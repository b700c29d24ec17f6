#include "panel/LocationTable.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "common/RuntimeError.h"
#include "panel/QuantityLookup.h"

namespace lumaro {

namespace {

// What each figure column shows: its heading, the query's column (its place in
// kQuantityColumns) and the inquiry's document kind behind it (0: none).
struct FigureColumn {
    const char* heading;
    size_t value;
    int16_t docType;
    const char* documents;
    bool onlyAboveZero;  // the inquiry opens only for a figure above zero
};
const FigureColumn kFigures[] = {
    {"Qty. on Hand", 0, 0, nullptr, false},
    {"Qty. on Sales Order", 2, 1, "Sales orders", false},
    {"Qty. on Purchase Order", 1, 3, "Purchase orders", true},
    {"Qty Committed", 4, 2, "Committed quantities", true},
    {"Qty. Available", 3, 0, nullptr, false},
};
static_assert(std::size(kFigures) == LocationTable::kColumnCount - 1);

constexpr const char* kWaiting = "\u2026";

// Answers that come at once are taken while the window waits, up to this long in all for
// one round of reading; later ones come through the worker's callback. The window then
// paints the table once, not once a location, and is never held longer than a frame.
constexpr auto kWindowBudget = std::chrono::milliseconds(3);

}  // namespace

LocationTable::LocationTable(Setup setup, QWidget* owner)
    : QWidget(owner, Qt::Tool), setup_(std::move(setup)) {
    setObjectName("LocationTable");
    setWindowTitle(QStringLiteral("Quantities at every location"));
    lblCaption = new QLabel(this);
    lblCaption->setObjectName("lblCaption");
    grid = new QTableWidget(0, kColumnCount, this);
    grid->setObjectName("grid");
    QStringList headings{QStringLiteral("Location")};
    for (const FigureColumn& figure : kFigures) headings << QString::fromUtf8(figure.heading);
    grid->setHorizontalHeaderLabels(headings);
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(grid, &QTableWidget::cellDoubleClicked, this, &LocationTable::DoubleClicked);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(lblCaption);
    layout->addWidget(grid);

    if (setup_.locations) {
        std::sort(setup_.locations->begin(), setup_.locations->end());
        for (const std::string& location : *setup_.locations)
            rows_.push_back({location, false, {}});
    }
    next_ = rows_.size();

    // Columns wide enough for their heading and a large quantity (or the longest location
    // with its marks), set once: the table does not jump while the answers come. Room for
    // up to 12 locations before it scrolls.
    const QFontMetrics metrics(grid->font());
    const int padding = metrics.horizontalAdvance(QStringLiteral("MM"));
    int width = 0;
    for (int c = 0; c < kColumnCount; ++c) {
        int longest = grid->horizontalHeader()->sectionSizeHint(c);
        if (c == kLocationColumn)
            for (const Row& row : rows_)
                longest = std::max(longest, metrics.horizontalAdvance(QString::fromStdString(
                                                row.location + " \u00b7 panel \u00b7 line")) +
                                                padding);
        else
            longest = std::max(longest, metrics.horizontalAdvance(QString::fromStdString(
                                            FormatQuantity(-99999999, setup_.decimals))) +
                                            padding);
        grid->setColumnWidth(c, longest);
        width += longest;
    }
    const int shownRows = std::clamp(static_cast<int>(rows_.size()), 1, 12);
    grid->setMinimumWidth(width + 2 * grid->frameWidth() + 2);
    grid->setMinimumHeight(grid->horizontalHeader()->sizeHint().height() +
                           shownRows * grid->verticalHeader()->defaultSectionSize() +
                           2 * grid->frameWidth() + 2);
    resize(minimumSizeHint());
}

LocationTable::~LocationTable() = default;

void LocationTable::ShowItem(const std::string& shownItem, const std::string& item,
                             const std::string& lineLocation, bool again) {
    const bool sameItem = shownItem == shownItem_ && item == item_;
    lineLocation_ = lineLocation;
    if (sameItem && !again) {
        MarkRows();
        return;
    }
    shownItem_ = shownItem;
    item_ = item;
    if (worker_) worker_->Drop();
    pending_ = 0;

    const bool readable = !shownItem.empty() && !item.empty() && setup_.locations;
    if (shownItem.empty())
        lblCaption->setText(QStringLiteral("No item on the line."));
    else if (item.empty())
        lblCaption->setText(
            QString::fromStdString("Item " + shownItem + " is not in the item file."));
    else if (!setup_.locations)
        lblCaption->setText(QStringLiteral("The company's locations cannot be listed."));
    else
        lblCaption->setText(QString::fromStdString("Item " + shownItem + " at every location"));

    grid->clearSpans();
    grid->setRowCount(readable ? static_cast<int>(rows_.size()) : 0);
    next_ = readable ? 0 : rows_.size();
    if (!readable) return;
    for (size_t row = 0; row < rows_.size(); ++row) {
        rows_[row].found = false;
        rows_[row].figures.clear();
        ShowRow(row, nullptr);
    }
    MarkRows();
    ReadNext();
}

void LocationTable::ReadNext() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + kWindowBudget;
    while (next_ < rows_.size()) {
        if (!worker_)
            worker_ = std::make_unique<LookupWorker>(
                setup_.connectionString, setup_.queryTimeout,
                [this](uint64_t id, const LookupAnswer& answer) { Answer(id, answer); });
        std::string statement;
        try {
            statement = QuantityStatement(setup_.query, item_, rows_[next_].location);
        } catch (...) {
            const LookupAnswer failed{LookupAnswer::Outcome::QueryFailed,
                                      {},
                                      FirstLine(DescribeException(std::current_exception()))};
            ShowRow(next_++, &failed);
            continue;
        }
        pending_ = worker_->Submit(statement);
        const auto budget = std::max(Clock::duration::zero(), deadline - Clock::now());
        const std::optional<LookupAnswer> answer =
            worker_->Wait(pending_, std::chrono::duration_cast<std::chrono::microseconds>(budget));
        if (!answer) return;
        ShowRow(next_++, &*answer);
    }
    pending_ = 0;
}

void LocationTable::Answer(uint64_t id, const LookupAnswer& answer) {
    if (id != pending_ || next_ >= rows_.size()) return;  // another item since
    ShowRow(next_++, &answer);
    ReadNext();
}

// The figures of a row, or the text that takes their place; "…" while there is no answer.
void LocationTable::ShowRow(size_t row, const LookupAnswer* answer) {
    using Outcome = LookupAnswer::Outcome;
    const int r = static_cast<int>(row);
    Row& data = rows_[row];
    if (!grid->item(r, kLocationColumn)) grid->setItem(r, kLocationColumn, new QTableWidgetItem);
    if (answer && answer->outcome == Outcome::Found) {
        data.found = true;
        if (grid->columnSpan(r, kOnHandColumn) != 1) grid->setSpan(r, kOnHandColumn, 1, 1);
        for (int c = 0; c < kColumnCount - 1; ++c) {
            const FigureColumn& figure = kFigures[c];
            const QString text = QString::fromStdString(answer->values.at(figure.value));
            bool number = false;
            const double value = text.toDouble(&number);
            data.figures.push_back(number ? value : 0);
            auto* cell = new QTableWidgetItem(
                number ? QString::fromStdString(FormatQuantity(value, setup_.decimals)) : text);
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (setup_.zoom && figure.docType && (!figure.onlyAboveZero || value > 0))
                cell->setToolTip(QString::fromStdString(std::string(figure.documents) + " of " +
                                                        shownItem_ + " at " + data.location +
                                                        " (double-click)"));
            grid->setItem(r, c + 1, cell);
        }
        return;
    }
    std::string text = kWaiting;
    if (answer) {
        switch (answer->outcome) {
            case Outcome::NoRow:
                text = "not stocked";
                break;
            case Outcome::QueryFailed:
                text = "The quantity query failed: " + answer->error;
                break;
            case Outcome::TimedOut:
                text = "No answer within " +
                       std::to_string(
                           std::chrono::ceil<std::chrono::seconds>(setup_.queryTimeout).count()) +
                       " s";
                break;
            default:
                text = "The quantity database cannot be reached: " + answer->error;
                break;
        }
    }
    auto* cell = new QTableWidgetItem(QString::fromStdString(text));
    cell->setToolTip(cell->text());  // a long error is cut in the cell
    cell->setTextAlignment(Qt::AlignCenter);
    if (answer) cell->setForeground(palette().color(QPalette::PlaceholderText));
    grid->setItem(r, kOnHandColumn, cell);
    for (int c = kOnHandColumn + 1; c < kColumnCount; ++c) grid->setItem(r, c, nullptr);
    if (grid->columnSpan(r, kOnHandColumn) == 1)
        grid->setSpan(r, kOnHandColumn, 1, kColumnCount - 1);
}

// The panel's location and the line's location are named after their code, in bold.
void LocationTable::MarkRows() {
    for (size_t row = 0; row < rows_.size() && static_cast<int>(row) < grid->rowCount(); ++row) {
        QTableWidgetItem* cell = grid->item(static_cast<int>(row), kLocationColumn);
        if (!cell) continue;
        const std::string& location = rows_[row].location;
        const bool panel = location == setup_.panelLocation;
        const bool line = location == lineLocation_;
        std::string text = location, tip;
        if (panel) {
            text += " \u00b7 panel";
            tip = "The panel shows this location.";
        }
        if (line) {
            text += " \u00b7 line";
            tip += std::string(tip.empty() ? "" : " ") + "The line ships from this location.";
        }
        cell->setText(QString::fromStdString(text));
        cell->setToolTip(QString::fromStdString(tip));
        QFont font = grid->font();
        font.setBold(panel || line);
        cell->setFont(font);
    }
}

void LocationTable::DoubleClicked(int row, int column) {
    if (!setup_.zoom || row < 0 || static_cast<size_t>(row) >= rows_.size() ||
        column <= kLocationColumn || column >= kColumnCount)
        return;
    const Row& data = rows_[row];
    const FigureColumn& figure = kFigures[column - 1];
    if (!data.found || !figure.docType) return;
    if (figure.onlyAboveZero && !(data.figures.at(column - 1) > 0)) return;
    setup_.zoom(data.location, figure.docType);
}

void LocationTable::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_F6) {
        ShowItem(shownItem_, item_, lineLocation_, true);  // read again, as F6 on the window
        return;
    }
    QWidget::keyPressEvent(event);
}

void LocationTable::hideEvent(QHideEvent* event) {
    // Nothing is read for a closed table; showing it reads the item again.
    if (worker_) worker_->Drop();
    pending_ = 0;
    QWidget::hideEvent(event);
}

}  // namespace lumaro
