#include "accpac/local/ui/OrderEntryScreen.h"

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "accpac/ModalDialog.h"
#include "accpac/Twips.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/DetailList.h"
#include "accpac/local/ui/ErrorDisplayDialog.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "accpac/local/ui/OrderNumberList.h"
#include "common/RuntimeError.h"

namespace accpac::local {

namespace {

// The band of controls, twips.
constexpr int kDesignWidth = 11400;
constexpr int kDesignHeight = 6600;
// Room under the controls that the screen asks for and leaves to its host window.
constexpr int kHostBand = 2100;

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Text(const QJsonValue& value) { return value.toString().toStdString(); }

// The unsaved order's file: when it was kept, the header, the lines as entered.
QByteArray UnsavedToJson(const Order& order) {
    const OrderHeader& h = order.header;
    QJsonArray lines;
    for (const OrderLine& l : order.lines)
        lines.append(QJsonObject{{"item", Q(l.item)},
                                 {"description", Q(l.description)},
                                 {"location", Q(l.location)},
                                 {"quantity", l.quantityOrdered},
                                 {"unit", Q(l.unit)},
                                 {"price", l.unitPrice}});
    return QJsonDocument(QJsonObject{{"kept", QDateTime::currentDateTime().toString(Qt::ISODate)},
                                     {"orderUniq", h.orderUniq},
                                     {"orderNumber", Q(h.orderNumber)},
                                     {"customer", Q(h.customer)},
                                     {"orderDate", Q(h.orderDate)},
                                     {"type", h.type},
                                     {"reference", Q(h.reference)},
                                     {"lines", lines}})
        .toJson();
}

Order UnsavedFromJson(const QJsonObject& o) {
    Order order;
    order.header = {o["orderUniq"].toInt(), Text(o["orderNumber"]), Text(o["customer"]), {},
                    Text(o["orderDate"]),   o["type"].toInt(1),     Text(o["reference"])};
    int32_t number = 0;
    for (const QJsonValue& v : o["lines"].toArray()) {
        const QJsonObject l = v.toObject();
        OrderLine line;
        line.lineNumber = ++number;
        line.item = Text(l["item"]);
        line.description = Text(l["description"]);
        line.location = Text(l["location"]);
        line.quantityOrdered = l["quantity"].toDouble();
        line.unit = Text(l["unit"]);
        line.unitPrice = l["price"].toDouble();
        order.lines.push_back(line);
    }
    return order;
}

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

// ---- ButtonControl --------------------------------------------------------------------------

ButtonControl::ButtonControl(QWidget* button, QWidget* screen)
    : QObject(screen), button_(button), screen_(screen) {}

QRect ButtonControl::Geometry() const {
    if (!button_ || !screen_) return {};
    // Positions come from the layout: bring it up to date first.
    for (QWidget* w = button_->parentWidget(); w && w != screen_; w = w->parentWidget())
        if (w->layout()) w->layout()->activate();
    return QRect(button_->mapTo(screen_.data(), QPoint(0, 0)), button_->size());
}

int ButtonControl::Top() const { return PixelsToTwipsY(Geometry().top()); }
int ButtonControl::Left() const { return PixelsToTwipsX(Geometry().left()); }
int ButtonControl::Width() const { return PixelsToTwipsX(Geometry().width()); }
int ButtonControl::Height() const { return PixelsToTwipsY(Geometry().height()); }

// ---- OrderEntryScreen -----------------------------------------------------------------------

OrderEntryScreen::OrderEntryScreen(QWidget* parent)
    : QWidget(parent),
      header_(new LocalDataSource(kViewOrderHeader, this)),
      detail_(new LocalDataSource(kViewOrderDetail, this)),
      content_(new QWidget(this)) {
    setObjectName("OE1100");
    header_->setObjectName("adsOEORDH");
    detail_->setObjectName("adsOEORDD");

    auto* layout = new QVBoxLayout(content_);
    layout->setContentsMargins(TwipsToPixelsX(120), TwipsToPixelsY(90), TwipsToPixelsX(120),
                               TwipsToPixelsY(90));
    layout->addWidget(BuildHeaderBox());
    layout->addWidget(BuildLinesBox(), 1);
    layout->addLayout(BuildButtonRow());
    content_->setGeometry(0, 0, TwipsToPixelsX(kDesignWidth), TwipsToPixelsY(kDesignHeight));

    for (QWidget* w :
         std::initializer_list<QWidget*>{orderNumber_, newButton_, orderDate_, customer_,
                                         reference_, list_, addLine_, deleteLine_, save_})
        w->setEnabled(false);
    ConnectActions();
}

QWidget* OrderEntryScreen::BuildHeaderBox() {
    auto* headerBox = new QGroupBox(tr("Order"), content_);
    orderNumber_ = new QComboBox(headerBox);
    orderNumber_->setMinimumWidth(TwipsToPixelsX(2000));
    numbers_ = new OrderNumberList(orderNumber_);
    orderNumber_->setModel(numbers_);
    newButton_ = new QPushButton(tr("&New"), headerBox);
    orderDate_ = new FieldEditControl(header_, "ORDDATE", headerBox);
    orderDate_->SetEditable(true);
    orderDate_->setMinimumWidth(TwipsToPixelsX(1500));
    customer_ = new FieldEditControl(header_, "CUSTOMER", headerBox);
    customer_->SetEditable(true);
    customer_->setMinimumWidth(TwipsToPixelsX(1500));
    customerName_ = new FieldEditControl(header_, "BILNAME", headerBox);
    reference_ = new FieldEditControl(header_, "REFERENCE", headerBox);
    reference_->SetEditable(true);

    auto* grid = new QGridLayout(headerBox);
    grid->setHorizontalSpacing(TwipsToPixelsX(120));
    grid->addWidget(Caption(tr("Order Number"), orderNumber_, headerBox), 0, 0);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(orderNumber_);
    numberRow->addWidget(newButton_);
    numberRow->addStretch(1);
    grid->addLayout(numberRow, 0, 1);
    grid->addWidget(Caption(tr("Order Date"), orderDate_, headerBox), 0, 2, Qt::AlignRight);
    grid->addWidget(orderDate_, 0, 3);
    grid->addWidget(Caption(tr("Customer"), customer_, headerBox), 1, 0);
    auto* customerRow = new QHBoxLayout;
    customerRow->addWidget(customer_);
    customerRow->addWidget(customerName_, 1);
    grid->addLayout(customerRow, 1, 1, 1, 3);
    grid->addWidget(Caption(tr("Reference"), reference_, headerBox), 2, 0);
    grid->addWidget(reference_, 2, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    return headerBox;
}

QWidget* OrderEntryScreen::BuildLinesBox() {
    auto* linesBox = new QGroupBox(tr("Lines"), content_);
    list_ = new DetailListControl(linesBox);
    list_->setObjectName("avlOEORDDdetail1");
    addLine_ = new QPushButton(tr("&Add Line"), linesBox);
    deleteLine_ = new QPushButton(tr("&Delete Line"), linesBox);
    auto* linesLayout = new QVBoxLayout(linesBox);
    linesLayout->addWidget(list_, 1);
    auto* lineButtons = new QHBoxLayout;
    lineButtons->addWidget(addLine_);
    lineButtons->addWidget(deleteLine_);
    lineButtons->addStretch(1);
    linesLayout->addLayout(lineButtons);
    return linesBox;
}

QLayout* OrderEntryScreen::BuildButtonRow() {
    status_ = new QLabel(content_);
    status_->setWordWrap(true);
    save_ = new QPushButton(tr("&Save"), content_);
    close_ = new QPushButton(tr("&Close"), content_);
    for (QPushButton* b : {save_, close_}) b->setMinimumWidth(TwipsToPixelsX(1200));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(save_);
    bottom->addWidget(status_, 1);
    bottom->addWidget(close_);
    return bottom;
}

void OrderEntryScreen::ConnectActions() {
    connect(newButton_, &QPushButton::clicked, this, &OrderEntryScreen::NewOrder);
    connect(addLine_, &QPushButton::clicked, this, &OrderEntryScreen::AddLine);
    connect(deleteLine_, &QPushButton::clicked, this, &OrderEntryScreen::DeleteLine);
    connect(save_, &QPushButton::clicked, this, &OrderEntryScreen::Save);
    connect(close_, &QPushButton::clicked, this, &OrderEntryScreen::Close);
    connect(list_, &DetailListControl::AddLineRequested, this, &OrderEntryScreen::AddLine);
    connect(list_, &DetailListControl::DeleteLineRequested, this,
            &OrderEntryScreen::DeleteLineAsked);
    connect(list_, &DetailListControl::ErrorsPending, this, &OrderEntryScreen::ShowErrors);
    // The order number box and the list follow the records the platform shows.
    auto showNumber = [this] {
        const bool saved = header_->FieldValue(orderheader::ORDUNIQ).ToLong() != 0;
        orderNumber_->setCurrentIndex(
            saved ? numbers_->Add(Q(header_->FieldValue(orderheader::ORDNUMBER).ToString())) : 0);
    };
    connect(orderNumber_, &QComboBox::activated, this, [this, showNumber](int index) {
        const QString number = orderNumber_->itemText(index);
        if (!ConfirmDiscard()) {
            showNumber();  // back to the order being entered
            return;
        }
        if (index <= 0)
            NewOrder();
        else
            OpenOrder(number);
    });
    connect(header_, &DataSource::OnRecordChanged, this, showNumber);
    connect(detail_, &DataSource::OnRecordChanged, this, [this] {
        list_->ShowCurrentLine();
        deleteLine_->setEnabled(order_ && !order_->IsListEmpty());
    });
}

OrderEntryScreen::~OrderEntryScreen() {
    // Going away with unsaved changes (the host window closed): nothing is asked or saved,
    // the order is kept for the next start.
    if (order_ && order_->Modified()) KeepUnsaved();
    // The controls go first: they refer to the order and its data sources.
    delete content_;
    content_ = nullptr;
}

void OrderEntryScreen::SetSessionID(int sessionID) {
    if (IsOpen()) return;  // the screen stays on the sign-on it was opened with
    sessionID_ = sessionID;
    // The host sets the session before it has connected to the screen's events: the
    // screen opens once control is back in the event loop.
    if (!openPending_) {
        openPending_ = true;
        QMetaObject::invokeMethod(this, &OrderEntryScreen::Open, Qt::QueuedConnection);
    }
}

void OrderEntryScreen::Open() {
    openPending_ = false;
    if (IsOpen()) return;
    session_ = LocalSession::FromSessionID(sessionID_);
    if (!session_) {
        status_->setText(tr("Sign-on %1 is not open: the screen cannot be used.").arg(sessionID_));
        return;
    }
    const bool opened = Run([&] {
        std::shared_ptr<LocalDBLink> link = session_->OpenLocalDBLink();
        header_->SetDBLink(link);
        header_->SetActive(true);
        detail_->SetDBLink(link);
        detail_->SetActive(true);
        auto order = std::make_unique<OrderEntry>(*header_, *detail_);
        std::vector<std::string> locations;
        for (const LocationInfo& l : link->Database().Locations()) locations.push_back(l.location);
        list_->SetOrder(order.get(), link->Database().QuantityDecimals(), locations);
        order_ = std::move(order);
        numbers_->Reset([this](const std::string& after, int limit) {
            return order_ ? order_->OrderNumbers(after, limit) : std::vector<std::string>();
        });
        order_->NewOrder();
    });
    if (!opened) {
        order_.reset();
        list_->SetOrder(nullptr, 0, {});
        return;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{
             orderNumber_, newButton_, orderDate_, customer_, reference_, list_, addLine_, save_})
        w->setEnabled(true);
    deleteLine_->setEnabled(!order_->IsListEmpty());
    emit ObjectEvent("OnUIForceSize",
                     {{"sNewWidth", PreferredWidth()}, {"sNewHeight", PreferredHeight()}});
    emit ObjectEvent("OnUIAppOpened", {});
    OfferUnsaved();
}

QObject* OrderEntryScreen::UIDSControls(const QString& name) {
    QObject* control = nullptr;
    if (name.compare("adsOEORDH", Qt::CaseInsensitive) == 0) control = header_;
    if (name.compare("adsOEORDD", Qt::CaseInsensitive) == 0) control = detail_;
    if (!control) return nullptr;
    ControlEntry*& entry = entries_[name.toUpper()];
    if (!entry) entry = new ControlEntry(control, this);
    return entry;
}

QObject* OrderEntryScreen::UIAppControls(const QString& name) {
    const QString key = name.toUpper();
    auto it = entries_.find(key);
    if (it != entries_.end()) return it->second;
    QObject* control = nullptr;
    if (key == "AVLOEORDDDETAIL1") control = list_;
    if (key == "APP_SAVE_BUTTON") control = new ButtonControl(save_, this);
    if (key == "APP_CLOSE_BUTTON") control = new ButtonControl(close_, this);
    if (!control) return nullptr;
    return entries_[key] = new ControlEntry(control, this);
}

int OrderEntryScreen::PreferredWidth() const { return kDesignWidth; }
int OrderEntryScreen::PreferredHeight() const { return kDesignHeight + kHostBand; }

void OrderEntryScreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!content_) return;
    // Room beyond the preferred height goes to the band, whose lines grid takes it.
    const int extra = std::max(0, height() - TwipsToPixelsY(PreferredHeight()));
    content_->setGeometry(0, 0, std::max(width(), TwipsToPixelsX(kDesignWidth)),
                          TwipsToPixelsY(kDesignHeight) + extra);
    setMask(QRegion(content_->geometry()));
}

template <typename Action>
bool OrderEntryScreen::Run(Action&& action) {
    try {
        action();
        return true;
    } catch (const lumaro::RuntimeError& error) {
        // Platform errors are in the session's list already; anything else is added.
        if (session_ && session_->Errors().Count() == 0)
            session_->Errors().Add(
                ErrorEntry{3, error.Description(), error.Source(), error.Number()});
        ShowErrors();
        return false;
    }
}

void OrderEntryScreen::ShowErrors() {
    if (!session_) return;
    ShowErrorList(session_->Errors(), Q(session_->CompanyID()));
    session_->Errors().Clear();
}

void OrderEntryScreen::NewOrder() {
    if (!order_ || !ConfirmDiscard()) return;
    Run([&] { order_->NewOrder(); });
    status_->clear();
}

bool OrderEntryScreen::OpenOrder(const QString& orderNumber) {
    if (!order_) return false;
    bool found = false;
    Run([&] { found = order_->OpenOrder(orderNumber.trimmed().toUpper().toStdString()); });
    status_->setText(found ? QString() : tr("Order %1 does not exist.").arg(orderNumber));
    return found;
}

void OrderEntryScreen::AddLine() {
    if (!order_) return;
    int line = -1;
    if (Run([&] { line = order_->AddLine(); })) list_->EditCell(line, OrderLinesModel::ColItem);
}

void OrderEntryScreen::DeleteLineAsked() {
    if (!order_ || order_->CurrentLine() < 0) return;
    const int line = order_->CurrentLine();
    const QString item = Q(order_->LineValue(line, orderdetail::ITEM).ToString()).trimmed();
    if (!item.isEmpty() && Ask(this, tr("Delete line %1 (%2)?").arg(line + 1).arg(item),
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    DeleteLine();
}

void OrderEntryScreen::DeleteLine() {
    if (!order_ || order_->CurrentLine() < 0) return;
    Run([&] { order_->DeleteLine(order_->CurrentLine()); });
}

bool OrderEntryScreen::Save() {
    if (!order_) return false;
    std::string number;
    // What is still being typed is part of the order.
    list_->CommitEdit();
    for (FieldEditControl* edit : {orderDate_, customer_, reference_}) edit->Commit();
    if (!Run([&] { number = order_->Save(); })) return false;
    status_->setText(tr("Order %1 saved.").arg(Q(number)));
    return true;
}

void OrderEntryScreen::Close() {
    if (!ConfirmDiscard()) return;
    if (order_) order_->SetModified(false);  // the clerk chose: nothing to keep
    emit ObjectEvent("OnUIAppClosed", {});
}

bool OrderEntryScreen::ConfirmDiscard() {
    if (!order_) return true;
    // What is still being typed counts as a change.
    list_->CommitEdit();
    for (FieldEditControl* edit : {orderDate_, customer_, reference_}) edit->Commit();
    if (!order_->Modified()) return true;
    const bool saved = header_->FieldValue(orderheader::ORDUNIQ).ToLong() != 0;
    const QString text = saved ? tr("Save changes to order %1?")
                                     .arg(Q(header_->FieldValue(orderheader::ORDNUMBER).ToString()))
                               : tr("Save changes to the new order?");
    switch (Ask(this, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
        case QMessageBox::Yes:
            return Save();
        case QMessageBox::No:
            order_->SetModified(false);
            return true;
        default:
            return false;
    }
}

QString OrderEntryScreen::UnsavedOrderFile() const {
    if (!order_ || !session_) return {};
    const QString folder = QFileInfo(Q(order_->Database().FileName())).absolutePath();
    return folder + "/OE1100-" + Q(session_->UserID()).toUpper() + ".unsaved";
}

void OrderEntryScreen::KeepUnsaved() {
    QFile file(UnsavedOrderFile());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(UnsavedToJson(order_->Current()));
}

void OrderEntryScreen::OfferUnsaved() {
    QFile file(UnsavedOrderFile());
    if (!file.open(QIODevice::ReadOnly)) return;
    const QJsonObject kept = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    file.remove();  // offered once, whatever the answer
    const QDateTime when = QDateTime::fromString(kept["kept"].toString(), Qt::ISODate);
    const QString time = when.date() == QDate::currentDate() ? when.toString("HH:mm")
                                                             : when.toString("yyyy-MM-dd HH:mm");
    if (kept.isEmpty() || Ask(this, tr("Restore the unsaved order from %1?").arg(time),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    Run([&] { order_->ShowUnsaved(UnsavedFromJson(kept)); });
}

}  // namespace accpac::local
