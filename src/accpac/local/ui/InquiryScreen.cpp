#include "accpac/local/ui/InquiryScreen.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "accpac/Twips.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "accpac/local/ui/ParameterString.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"

namespace accpac::local {

namespace {

constexpr const char* kSource = "IC1900";

QString Q(const std::string& s) { return QString::fromStdString(s); }

[[noreturn]] void Fail(int32_t number, const std::string& description) {
    throw lumaro::RuntimeError(number, kSource, description);
}

struct Kind {
    const char* title;     // the kind of documents
    const char* number;    // heading of the document number
    const char* date;      // heading of the document date
    const char* party;     // customer or vendor
    const char* quantity;  // heading of the quantity
    const char* total;     // the location's quantity the total equals
};

const Kind& KindOf(int docType) {
    static const Kind kinds[] = {
        {"Sales Orders", "Order Number", "Order Date", "Customer", "Qty. Ordered",
         "Qty. on Sales Order"},
        {"Committed Quantities", "Order Number", "Order Date", "Customer", "Qty. Committed",
         "Qty. Committed"},
        {"Purchase Orders", "PO Number", "PO Date", "Vendor", "Qty. Outstanding",
         "Qty. on Purchase Order"},
    };
    return kinds[docType - 1];
}

enum Column { ColNumber, ColDate, ColParty, ColPartyName, ColLine, ColQuantity, ColumnCount };

QLabel* Value(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

}  // namespace

InquiryScreen::InquiryScreen(QWidget* parent)
    : QWidget(parent),
      item_(Value(this)),
      itemDescription_(new QLabel(this)),
      location_(Value(this)),
      locationDescription_(new QLabel(this)),
      kind_(Value(this)),
      documents_(new QTreeWidget(this)),
      close_(new QPushButton(tr("&Close"), this)) {
    setObjectName("IC1900");
    auto* heading = new QGroupBox(tr("Inquiry"), this);
    auto* grid = new QGridLayout(heading);
    grid->setHorizontalSpacing(TwipsToPixelsX(180));
    grid->addWidget(new QLabel(tr("Item Number"), heading), 0, 0);
    grid->addWidget(item_, 0, 1);
    grid->addWidget(itemDescription_, 0, 2);
    grid->addWidget(new QLabel(tr("Location"), heading), 1, 0);
    grid->addWidget(location_, 1, 1);
    grid->addWidget(locationDescription_, 1, 2);
    grid->addWidget(new QLabel(tr("Documents"), heading), 2, 0);
    grid->addWidget(kind_, 2, 1, 1, 2);
    grid->setColumnStretch(2, 1);

    documents_->setColumnCount(ColumnCount);
    documents_->setRootIsDecorated(false);
    documents_->setAlternatingRowColors(true);
    documents_->setSelectionMode(QAbstractItemView::SingleSelection);
    documents_->setUniformRowHeights(true);
    documents_->setFocusPolicy(Qt::StrongFocus);
    QHeaderView* header = documents_->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(ColPartyName, QHeaderView::Stretch);
    const int widths[ColumnCount] = {1600, 1400, 1200, 0, 700, 1800};
    for (int c = 0; c < ColumnCount; ++c)
        if (widths[c]) documents_->setColumnWidth(c, TwipsToPixelsX(widths[c]));

    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close_);
    close_->setMinimumWidth(TwipsToPixelsX(1200));
    close_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(documents_, 1);
    layout->addLayout(buttons);
    resize(TwipsToPixelsX(10800), TwipsToPixelsY(5400));
    // Every heading and the Close button stay visible; extra room goes to the documents.
    setMinimumSize(std::max(layout->minimumSize().width(), TwipsToPixelsX(6000)),
                   std::max(layout->minimumSize().height(), TwipsToPixelsY(3600)));
}

void InquiryScreen::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString InquiryScreen::ItemText() const { return item_->text(); }
QString InquiryScreen::LocationText() const { return location_->text(); }
QString InquiryScreen::KindText() const { return kind_->text(); }

void InquiryScreen::Load(LocalSession& session, const std::string& parameters) {
    const std::map<std::string, std::string> keys = ParseParameterString(parameters);
    auto valueOf = [&](const char* key) {
        auto it = keys.find(key);
        if (it == keys.end())
            Fail(lumaro::kErrInvalidProcedureCall,
                 std::string("Invalid parameter string: the key ") + key + " is missing.");
        return it->second;
    };
    const std::string itemKey = lumaro::TrimSpaces(valueOf("ITEMNO"));
    const std::string locationKey = lumaro::TrimSpaces(valueOf("LOCATION"));
    const std::string docTypeText = valueOf("DOCTYPE");
    const int docType = docTypeText == "1"   ? 1
                        : docTypeText == "2" ? 2
                        : docTypeText == "3" ? 3
                                             : 0;
    if (docType == 0)
        Fail(lumaro::kErrInvalidProcedureCall,
             "Invalid parameter string: DOCTYPE \"" + docTypeText +
                 "\" is none of 1 (sales orders), 2 (committed quantities), 3 (purchase orders).");

    std::shared_ptr<LocalDBLink> link = session.OpenLocalDBLink();
    CompanyDatabase& db = link->Database();
    const std::optional<ItemInfo> item = db.FindItem(itemKey);
    if (!item) Fail(kErrRecordInvalid, "Item \"" + itemKey + "\" does not exist.");
    const std::optional<LocationInfo> location = db.FindLocation(locationKey);
    if (!location) Fail(kErrRecordInvalid, "Location \"" + locationKey + "\" does not exist.");
    const std::vector<InquiryDocument> documents =
        db.InquiryDocuments(item->itemNo, location->location, docType);
    const int decimals = db.QuantityDecimals();
    const Kind& kind = KindOf(docType);

    // The title says which figure the window lists: several may be open at once.
    setWindowTitle(tr("%1 of %2 at %3 - %4")
                       .arg(tr(kind.title), Q(item->formattedItemNo), Q(location->location),
                            Q(session.CompanyID())));
    item_->setText(Q(item->formattedItemNo));
    itemDescription_->setText(Q(item->description));
    location_->setText(Q(location->location));
    locationDescription_->setText(Q(location->description));
    kind_->setText(tr(kind.title));

    documents_->clear();
    documents_->setHeaderLabels({tr(kind.number), tr(kind.date), tr(kind.party), tr("Name"),
                                 tr("Line"), tr(kind.quantity)});
    for (int c : {ColLine, ColQuantity})
        documents_->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    total_ = 0;
    const int rowHeight = TwipsToPixelsY(330);
    for (const InquiryDocument& d : documents) {
        auto* row = new QTreeWidgetItem(documents_);
        row->setText(ColNumber, Q(d.documentNumber));
        row->setText(ColDate, Q(d.date));
        row->setText(ColParty, Q(d.party));
        row->setText(ColPartyName, Q(d.partyName));
        row->setText(ColLine, QString::number(d.lineNumber));
        row->setText(ColQuantity, FormatNumber(d.quantity, decimals));
        for (int c : {ColLine, ColQuantity})
            row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        row->setSizeHint(0, QSize(0, rowHeight));
        total_ += d.quantity;
    }
    documentCount_ = static_cast<int>(documents.size());
    auto* totalRow = new QTreeWidgetItem(documents_);
    totalRow->setText(ColPartyName, tr("Total %1").arg(tr(kind.total)));
    totalRow->setText(ColQuantity, FormatNumber(total_, decimals));
    totalRow->setTextAlignment(ColPartyName, Qt::AlignRight | Qt::AlignVCenter);
    totalRow->setTextAlignment(ColQuantity, Qt::AlignRight | Qt::AlignVCenter);
    totalRow->setFlags(Qt::ItemIsEnabled);
    totalRow->setSizeHint(0, QSize(0, rowHeight));
    QFont bold = documents_->font();
    bold.setBold(true);
    for (int c = 0; c < ColumnCount; ++c) {
        totalRow->setFont(c, bold);
        totalRow->setBackground(c, palette().color(QPalette::Button));
    }
}

void InquiryScreen::Launch(LocalSession& session, const std::string& parameters) {
    Load(session, parameters);
    setAttribute(Qt::WA_DeleteOnClose);
    show();
    raise();
    activateWindow();
    close_->setFocus();
}

}  // namespace accpac::local
