#include "accpac/local/ui/OrderEntryScreen.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "accpac/Twips.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/DetailList.h"
#include "accpac/local/ui/ErrorDisplayDialog.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "common/RuntimeError.h"

namespace accpac::local {

namespace {

// The band of controls, twips.
constexpr int kDesignWidth = 11400;
constexpr int kDesignHeight = 6600;
// Room under the controls that the screen asks for and leaves to its host window.
constexpr int kHostBand = 2100;

QString Q(const std::string& s) { return QString::fromStdString(s); }

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
    connect(close_, &QPushButton::clicked, this, [this] { emit ObjectEvent("OnUIAppClosed", {}); });
    connect(list_, &DetailListControl::AddLineRequested, this, &OrderEntryScreen::AddLine);
    connect(list_, &DetailListControl::DeleteLineRequested, this, &OrderEntryScreen::DeleteLine);
    connect(list_, &DetailListControl::ErrorsPending, this, &OrderEntryScreen::ShowErrors);
    connect(orderNumber_, &QComboBox::activated, this, [this](int index) {
        if (index <= 0)
            NewOrder();
        else
            OpenOrder(orderNumber_->itemText(index));
    });
    // The order number box and the list follow the records the platform shows.
    connect(header_, &DataSource::OnRecordChanged, this, [this] {
        const bool saved = header_->FieldValue(orderheader::ORDUNIQ).ToLong() != 0;
        const int index =
            saved
                ? orderNumber_->findText(Q(header_->FieldValue(orderheader::ORDNUMBER).ToString()))
                : 0;
        orderNumber_->setCurrentIndex(std::max(index, 0));
    });
    connect(detail_, &DataSource::OnRecordChanged, this, [this] {
        list_->ShowCurrentLine();
        deleteLine_->setEnabled(order_ && !order_->IsListEmpty());
    });
}

OrderEntryScreen::~OrderEntryScreen() {
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
        FillOrderNumbers();
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
    content_->setGeometry(0, 0, std::max(width(), TwipsToPixelsX(kDesignWidth)),
                          TwipsToPixelsY(kDesignHeight));
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

void OrderEntryScreen::FillOrderNumbers() {
    std::vector<std::string> numbers = order_->OrderNumbers();
    const QSignalBlocker blocker(orderNumber_);
    orderNumber_->clear();
    orderNumber_->addItem(tr("*** NEW ***"));
    for (const std::string& n : numbers) orderNumber_->addItem(Q(n));
    const bool saved = header_->Active() && header_->FieldValue(orderheader::ORDUNIQ).ToLong() != 0;
    orderNumber_->setCurrentIndex(
        saved ? std::max(0, orderNumber_->findText(
                                Q(header_->FieldValue(orderheader::ORDNUMBER).ToString())))
              : 0);
}

void OrderEntryScreen::NewOrder() {
    if (!order_) return;
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

void OrderEntryScreen::DeleteLine() {
    if (!order_ || order_->CurrentLine() < 0) return;
    Run([&] { order_->DeleteLine(order_->CurrentLine()); });
}

void OrderEntryScreen::Save() {
    if (!order_) return;
    std::string number;
    // What is still being typed is part of the order.
    list_->CommitEdit();
    for (FieldEditControl* edit : {orderDate_, customer_, reference_}) edit->Commit();
    if (!Run([&] {
            number = order_->Save();
            FillOrderNumbers();
        }))
        return;
    status_->setText(tr("Order %1 saved.").arg(Q(number)));
}

}  // namespace accpac::local
