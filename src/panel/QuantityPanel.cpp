#include "panel/QuantityPanel.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QKeySequence>
#include <QLabel>
#include <QPalette>
#include <QShortcut>
#include <QStringBuilder>
#include <QToolButton>
#include <QVariant>
#include <algorithm>
#include <exception>

#include "accpac/LateBound.h"
#include "accpac/Platform.h"
#include "accpac/Twips.h"
#include "ado/Ado.h"
#include "common/ErrorHandling.h"
#include "common/MessageBox.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "globals/Globals.h"
#include "panel/CaptionLabel.h"
#include "panel/LaunchUI.h"
#include "panel/LocationTable.h"
#include "panel/QuantityLookup.h"
#include "settings/ProgramSettings.h"

namespace lumaro {

namespace {

// Field indexes of the records the panel reads.
enum : int {
    kDetailItemNumber = 4,    // detail record: the line's item number
    kDetailZoomAllowed = 14,  // detail record: must be true for a zoom
    kItemNumber = 1,          // item record: the item number (the key)
    kItemKey = 7,             // item record: the item number as the detail line shows it
    kItemText = 11,           // item record: the item's text
    kLocationCode = 1,        // location record: the key
    kLocationDescription = 2,
    // The line against the figures.
    kDetailStoredItem = 3,  // detail record: the stored item number (may be empty)
    kDetailLocation = 6,    // detail record: the location the line ships from
    kDetailQuantity = 7,
    kDetailUnit = 9,
    kItemStockUnit = 16,  // item record: the stocking unit
    kUnitItem = 1,        // item unit record: the item number, the unit (the key), its factor
    kUnitCode = 2,
    kUnitFactor = 3,
};

constexpr const char* kOptionsView = "IC0380";
constexpr const char* kItemUnitsView = "IC0312";
constexpr int kOptionsDecimals = 62;  // options field: decimals of quantities
constexpr const char* kInquiryScreen = "IC1900";

// Document kinds of the inquiry.
enum : int16_t { kDocSalesOrders = 1, kDocCommitted = 2, kDocPurchaseOrders = 3 };

// The frame holds the headings, the values and, under them, the status line.
constexpr int kFrameWidth = 11055;
constexpr int kFrameHeight = 1080;
constexpr int kHeadingTop = 165;
constexpr int kHeadingHeight = 285;
// A heading may use the room up to the next heading less this gap, so that no caption is
// cut with the wider fonts found on this system.
constexpr int kHeadingGap = 60;

// The palette has no role for errors: a red that reads on the panel's background.
QColor ErrorColour(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() > 128 ? QColor(0xb0, 0x00, 0x20)
                                                             : QColor(0xff, 0x6b, 0x6b);
}

// The local time of day of `when`, as HH:mm:ss.
std::string LocalClockTime(std::chrono::system_clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count()).toString("HH:mm:ss").toStdString();
}

[[noreturn]] void ObjectNotSet(const char* what) {
    throw RuntimeError::Standard(kErrObjectNotSet, what);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromUtf8(name));
    return label;
}

}  // namespace

QuantityPanel::QuantityPanel(QWidget* window) : QObject(window) {
    accpac::Platform& platform = accpac::Platform::Get();

    frmQTY = platform.CreateFrame(window);
    frmQTY->setObjectName("frmQTY");
    frmQTY->hide();  // shown once the window has placed it under the screen's buttons
    accpac::ResizeTwips(frmQTY, kFrameWidth, kFrameHeight);

    adsICLOCQT = platform.CreateDataSource("IC0374", frmQTY);
    adsICLOCQT->setObjectName("adsICLOCQT");
    adsICITEM = platform.CreateDataSource("IC0310", frmQTY);
    adsICITEM->setObjectName("adsICITEM");
    adsICLOC = platform.CreateDataSource("IC0370", frmQTY);
    adsICLOC->setObjectName("adsICLOC");

    auto fieldEdit = [&](const char* name, const char* field) {
        accpac::FieldEdit* control = platform.CreateFieldEdit(adsICLOCQT, field, frmQTY);
        control->setObjectName(QString::fromUtf8(name));
        return control;
    };

    // Headings.
    lblQtyOnHand = MakeLabel(frmQTY, "lblQtyOnHand", "Qty. on Hand");
    lblQtyOnSalesOrder = MakeLabel(frmQTY, "lblQtyOnSalesOrder", "Qty. on Sales Order");
    lblQtyOnPurchase = MakeLabel(frmQTY, "lblQtyOnPurchase", "Qty. on Purchase Order");
    lblQtyCommitted = MakeLabel(frmQTY, "lblQtyCommitted", "Qty Committed");
    lblQtyAvailable = MakeLabel(frmQTY, "lblQtyAvailable", "Qty. Available");
    // Values, each zoom button just right of its quantity.
    // The location and the item's text can be longer than the label: shown elided, whole
    // in the tooltip.
    lblLocation = new CaptionLabel(QStringLiteral("Location"), frmQTY);
    lblLocation->setObjectName("lblLocation");
    lblLocation->setTextFormat(Qt::PlainText);  // an item's text is shown as it is written
    afeICLOCIaqtyonhand = fieldEdit("afeICLOCIaqtyonhand", "QTONHAND");
    afeICLOCIqtysalordr = fieldEdit("afeICLOCIqtysalordr", "QTSALORDR");
    btnSalesOrderZoom = fieldEdit("btnSalesOrderZoom", "");
    afeICLOCIqtyonorder = fieldEdit("afeICLOCIqtyonorder", "QTONORDER");
    btnPurchaseOrderZoom = fieldEdit("btnPurchaseOrderZoom", "");
    afeICLOCIqtycommitted = fieldEdit("afeICLOCIqtycommitted", "QTYCOMMIT");
    btnCommittedZoom = fieldEdit("btnCommittedZoom", "");
    afeICLOCIqtyavail = fieldEdit("afeICLOCIqtyavail", "QTAVAIL");

    // Under the values, the reason a figure is missing; in the empty corner left of the
    // headings, the button that reads the item again.
    lblQtyStatus = new CaptionLabel(frmQTY);
    lblQtyStatus->setObjectName("lblQtyStatus");
    btnRefresh = new QToolButton(frmQTY);
    btnRefresh->setObjectName("btnRefresh");
    btnRefresh->setText(QString::fromUtf8("\u21bb"));
    btnRefresh->setToolTip(QStringLiteral("Read the quantities again (F5)"));
    btnRefresh->setFocusPolicy(Qt::NoFocus);
    auto* refreshKey = new QShortcut(QKeySequence(Qt::Key_F5), window);
    connect(refreshKey, &QShortcut::activated, this, &QuantityPanel::ReadAgain);
    connect(btnRefresh, &QToolButton::clicked, this, &QuantityPanel::ReadAgain);

    // The headings each take the room up to the next one; the values and buttons sit
    // under them.
    const struct {
        QLabel* heading;
        int left, right;
    } headings[] = {
        {lblQtyOnHand, 1575, 3375},
        {lblQtyOnSalesOrder, 3375, 5100},
        {lblQtyOnPurchase, 5100, 7125},
        {lblQtyCommitted, 7125, 9030},
        {lblQtyAvailable, 9030, kFrameWidth - 105},
    };
    for (const auto& h : headings)
        accpac::SetTwipsGeometry(h.heading, h.left, kHeadingTop, h.right - h.left - kHeadingGap,
                                 kHeadingHeight);
    struct Place {
        QWidget* widget;
        int left, top, width, height;
    };
    const Place layout[] = {
        {btnRefresh, 105, 135, 300, 285},
        {lblLocation, 105, 435, 1485, 255},
        {afeICLOCIaqtyonhand, 1575, 435, 1680, 285},
        {afeICLOCIqtysalordr, 3375, 435, 1530, 285},
        {btnSalesOrderZoom, 4950, 375, 270, 315},
        {afeICLOCIqtyonorder, 5250, 435, 1605, 285},
        {btnPurchaseOrderZoom, 6900, 375, 270, 315},
        {afeICLOCIqtycommitted, 7215, 435, 1500, 285},
        {btnCommittedZoom, 8745, 375, 270, 315},
        {afeICLOCIqtyavail, 9030, 435, 1680, 285},
        {lblQtyStatus, 105, 750, kFrameWidth - 210, 255},
    };
    for (const Place& p : layout)
        accpac::SetTwipsGeometry(p.widget, p.left, p.top, p.width, p.height);

    // The panel is a compact strip in 8-point type, as the hosted screen's controls are.
    QFont font = frmQTY->font();
    font.setPointSizeF(8);
    frmQTY->setFont(font);
    QPalette statusColours = frmQTY->palette();
    statusColours.setColor(QPalette::WindowText, ErrorColour(statusColours));
    lblQtyStatus->setPalette(statusColours);

    // The line against the figures: the order's shortage in the status row (where a status
    // is never shown at the same time), the line's own location under the location caption.
    lblShortage = new CaptionLabel(frmQTY);
    lblShortage->setObjectName("lblShortage");
    lblShortage->setPalette(statusColours);
    lblShortage->hide();
    lblLineLocation = new CaptionLabel(frmQTY);
    lblLineLocation->setObjectName("lblLineLocation");
    lblLineLocation->hide();
    adsICITEMU = platform.CreateDataSource(kItemUnitsView, frmQTY);
    adsICITEMU->setObjectName("adsICITEMU");
    LayoutStatusRow();
    ShowFigures(false);  // nothing looked up yet

    connect(btnSalesOrderZoom, &accpac::FieldEdit::Clicked, this,
            &QuantityPanel::btnSalesOrderZoom_Click);
    connect(btnCommittedZoom, &accpac::FieldEdit::Clicked, this,
            &QuantityPanel::btnCommittedZoom_Click);
    connect(btnPurchaseOrderZoom, &accpac::FieldEdit::Clicked, this,
            &QuantityPanel::btnPurchaseOrderZoom_Click);

    // Beside the refresh button, over the location caption: the item at every location.
    btnLocations = new QToolButton(frmQTY);
    btnLocations->setObjectName("btnLocations");
    btnLocations->setText(QString::fromUtf8("\u2261"));
    btnLocations->setToolTip(QStringLiteral("The item at every location (F6)"));
    btnLocations->setFocusPolicy(Qt::NoFocus);
    accpac::SetTwipsGeometry(btnLocations, 435, 135, 300, 285);
    auto* locationsKey = new QShortcut(QKeySequence(Qt::Key_F6), window);
    connect(locationsKey, &QShortcut::activated, this, &QuantityPanel::OpenLocationTable);
    connect(btnLocations, &QToolButton::clicked, this, &QuantityPanel::OpenLocationTable);
}

QuantityPanel::~QuantityPanel() = default;

void QuantityPanel::ConnectOrderSources(QObject* adsOEORDH, QObject* adsOEORDD,
                                        QObject* detailList) {
    if (adsOEORDH_) disconnect(adsOEORDH_, nullptr, this, nullptr);
    if (adsOEORDD_) disconnect(adsOEORDD_, nullptr, this, nullptr);
    adsOEORDH_ = adsOEORDH;
    adsOEORDD_ = adsOEORDD;
    detailList_ = detailList;
    listAnswersLines_ = detailList && detailList->metaObject()->indexOfMethod("LineCount()") >= 0;
    if (auto* header = qobject_cast<accpac::DataSource*>(adsOEORDH))
        connect(header, &accpac::DataSource::OnRecordChanged, this,
                &QuantityPanel::adsOEORDH_OnRecordChanged);
    if (auto* detail = qobject_cast<accpac::DataSource*>(adsOEORDD))
        connect(detail, &accpac::DataSource::OnRecordChanged, this,
                &QuantityPanel::adsOEORDD_OnRecordChanged);
}

accpac::DataSource* QuantityPanel::DetailSource() const {
    auto* detail = qobject_cast<accpac::DataSource*>(adsOEORDD_.data());
    if (!detail) ObjectNotSet("adsOEORDD");
    return detail;
}

// ---------------------------------------------------------------------------------------
// Set-up and shutdown

bool QuantityPanel::OpenQuantitySources() {
    try {
        if (!settings_) ObjectNotSet("ProgramSettings");
        if (!session_) ObjectNotSet("Session");

        // A missing setting is told once and ends the program.
        auto refuse = [this](const std::string& text) {
            MsgBox(text, MsgIcon::Exclamation);
            EndProgram();
            return false;
        };
        auto notSpecified = [this](const std::string& what) {
            return "There is no " + what + " specified in the [" + session_->CompanyID() +
                   "] section of the application .INI file.";
        };
        connectionString_ = settings_->ConnectionString();
        settings_->SetCurrentConnectionString(connectionString_);
        if (connectionString_.empty())
            return refuse(
                "Program settings have not been set. Please contact the Accpac SYSOP user to set "
                "them.");
        locationCode_ = settings_->Location();
        if (locationCode_.empty()) return refuse(notSpecified("location"));
        query_ = settings_->Query();
        if (query_.empty()) return refuse(notSpecified("query"));
        drilldown_ = settings_->Drilldown();

        externalConnection_ = ado::OpenConnection(connectionString_);
        if (externalConnection_->State() != ado::adStateOpen) {
            // The password stays out of the message.
            MsgBox("Cannot open connection to external database specified by connection string: " +
                       MaskConnectionPasswords(connectionString_),
                   MsgIcon::Exclamation);
            EndProgram();
            return false;
        }

        // The lookups run on a worker with a connection of its own, opened now.
        queryTimeout_ = std::chrono::seconds(settings_->QueryTimeout());
        worker_ = std::make_unique<LookupWorker>(
            connectionString_, queryTimeout_,
            [this](uint64_t id, const LookupAnswer& answer) { LateAnswer(id, answer); });
        worker_->WaitConnected(std::chrono::seconds(5));

        for (accpac::DataSource* source : {adsICLOCQT, adsICITEM, adsICLOC}) {
            if (source->Active()) continue;
            source->SetDBLink(dbLink_);
            source->SetActive(true);
        }

        // Without the item units the order's need is compared for the stocking unit only.
        IgnoreErrors([&] {
            adsICITEMU->SetDBLink(dbLink_);
            adsICITEMU->SetActive(true);
        });

        adsICLOC->Fields().Item(kLocationCode).PutWithoutVerification(Variant(locationCode_));
        adsICLOC->Read();  // whether the location was found is not checked
        locationDescription_ = adsICLOC->Fields().Item(kLocationDescription).Value().ToString();
        return true;
    } catch (...) {
        ShowOpenFailure(std::current_exception());
        EndProgram();
        return false;
    }
}

void QuantityPanel::ShowOpenFailure(std::exception_ptr error) {
    // Errors of the platform are shown as the platform recorded them.
    bool shown = false;
    if (session_) {
        IgnoreErrors([&] {
            if (session_->Errors().Count() == 0) return;
            std::shared_ptr<accpac::ErrorDisplay> display =
                accpac::Platform::Get().CreateErrorDisplay();
            display->ShowErrors(*session_);
            display->ClearErrors(*session_);
            shown = true;
        });
    }
    if (!shown) MsgBox(DescribeException(error), MsgIcon::Exclamation);
}

void QuantityPanel::EndProgram() {
    // The owner ends the program; OpenQuantitySources returns false to it as well.
    if (endProgram_) endProgram_();
}

void QuantityPanel::SetupQuantityControls() {
    if (!dbLink_) ObjectNotSet("DBLink");
    const std::vector<Variant> options = dbLink_->ReadViewFields(kOptionsView, {kOptionsDecimals});
    if (options.empty()) throw RuntimeError::Standard(kErrSubscriptOutOfRange, "DBLink");
    const Variant decimals(options[0].ToInteger());
    quantityDecimals_ = decimals.ToInteger();
    for (accpac::FieldEdit* control :
         {afeICLOCIaqtyonhand, afeICLOCIqtysalordr, afeICLOCIqtyonorder, afeICLOCIqtyavail,
          afeICLOCIqtycommitted})
        control->SetNumberedProperty(accpac::FieldEditDecimals, decimals);

    for (accpac::FieldEdit* button : {btnSalesOrderZoom, btnPurchaseOrderZoom, btnCommittedZoom}) {
        if (drilldown_)
            button->Invoke(accpac::FieldEditSetupZoomButton,
                           {Variant(int32_t{0}), Variant(int32_t{3}), Variant("")});
        else
            button->SetNumberedProperty(accpac::FieldEditZoomStyle, Variant(int32_t{0}));
    }

    rememberedItemKey_ = "~";
    UpdateZoomButtons();
}

void QuantityPanel::CloseQuantitySources() {
    locationTable_.reset();
    worker_.reset();  // a lookup still running is cancelled; nothing waits for it
    pendingLookup_ = 0;
    lineWorker_.reset();
    lineLookup_ = 0;
    IgnoreErrors([&] {
        if (externalConnection_ && externalConnection_->State() == ado::adStateOpen)
            externalConnection_->Close();
    });
    for (accpac::DataSource* source : {adsICLOCQT, adsICITEM, adsICLOC, adsICITEMU})
        IgnoreErrors([&] { source->SetActive(false); });
}

// ---------------------------------------------------------------------------------------
// Events of the hosted screen's data sources

void QuantityPanel::adsOEORDH_OnRecordChanged(int eReason, accpac::Field*, QObject*) {
    // Another order, a new one or the order read again after a save: its lines' figures
    // may have changed, so the next line event reads its item again even if it is the same.
    if (eReason == accpac::ReasonRecordChanged || eReason == accpac::ReasonRecordRefreshed ||
        eReason == accpac::ReasonNewRecord)
        rememberedItemKey_ = "~";
    if (eReason == accpac::ReasonRecordChanged || eReason == accpac::ReasonRecordRefreshed)
        UpdateZoomButtons();
}

void QuantityPanel::adsOEORDD_OnRecordChanged(int eReason, accpac::Field* pField, QObject*) {
    switch (eReason) {
        case accpac::ReasonRecordChanged:
            RefreshQuantities();
            break;
        case accpac::ReasonRecordRefreshed:
            ReadAgain();  // the line was read again (after a save): so are its figures
            break;
        case accpac::ReasonNewRecord: {
            rememberedItemKey_ = "~";  // the next change looks the item up again
            // A new line or an order without lines has no item: no figures stay shown.
            std::string itemNumber = "?";
            IgnoreErrors([&] {
                itemNumber = DetailSource()->Fields().Item(kDetailItemNumber).Value().ToString();
            });
            if (itemNumber.empty()) ClearShown();
            break;
        }
        case accpac::ReasonFieldChanged: {
            int index = 0;
            IgnoreErrors([&] { index = pField ? pField->Index() : 0; });
            if (index == kDetailItemNumber) RefreshQuantities();
            // Typing on the line moves the signals at once; other fields leave them.
            if (index != kDetailItemNumber && index != kDetailLocation &&
                index != kDetailQuantity && index != kDetailUnit)
                return;
            break;
        }
        default:
            return;
    }
    // A line read again after a save has new figures at every location.
    FollowLineInLocationTable(eReason == accpac::ReasonRecordRefreshed);
    UpdateLineSignals();
}

// ---------------------------------------------------------------------------------------
// Refresh

void QuantityPanel::RefreshQuantities() {
    std::string itemNumber;
    IgnoreErrors(
        [&] { itemNumber = DetailSource()->Fields().Item(kDetailItemNumber).Value().ToString(); });

    if (itemNumber.empty()) {
        rememberedItemKey_.clear();
        ClearShown();
        return;
    }

    if (EqualsIgnoreCase(itemNumber, rememberedItemKey_)) return;  // already shown

    IgnoreErrors([&] { LookupQuantities(itemNumber, locationCode_); });
    ShowFigures(!LookupPending());
    IgnoreErrors(
        [&] { rememberedItemKey_ = adsICITEM->Fields().Item(kItemKey).Value().ToString(); });
    std::string suffix;
    IgnoreErrors([&] {
        const std::string text = TrimSpaces(adsICITEM->Fields().Item(kItemText).Value().ToString());
        if (!text.empty()) suffix = " (" + text + ")";
    });
    IgnoreErrors([&] {
        lblLocation->setText(QString::fromStdString("Location " + locationCode_ + suffix));
    });
    UpdateZoomButtons();
}

void QuantityPanel::ReadAgain() {
    rememberedItemKey_ = "~";
    RefreshQuantities();
    unitFactors_.clear();
    UpdateShortage();
    UpdateLineLocation(true);
}

void QuantityPanel::ClearShown() {
    if (worker_) worker_->Drop();
    pendingLookup_ = 0;
    IgnoreErrors([&] {
        if (adsICITEM->Fields().Item(kItemNumber).Value().ToString().empty()) return;
        IgnoreErrors([&] { adsICITEM->ClearRecord(); });
        IgnoreErrors([&] { adsICLOCQT->ClearRecord(); });
    });
    IgnoreErrors(
        [&] { lblLocation->setText(QString::fromStdString("Location " + locationCode_)); });
    SetStatus("");
    ShowFigures(false);
    UpdateZoomButtons();
}

void QuantityPanel::ShowFigures(bool shown) {
    if (shown == figuresShown_) return;
    figuresShown_ = shown;
    for (accpac::FieldEdit* control :
         {afeICLOCIaqtyonhand, afeICLOCIqtysalordr, afeICLOCIqtyonorder, afeICLOCIqtyavail,
          afeICLOCIqtycommitted})
        control->setVisible(shown);
}

void QuantityPanel::SetStatus(const std::string& text) {
    // Only what changed is set again: a lookup stays as cheap as the query allows.
    if (text != statusText_) {
        statusText_ = text;
        const QString shown = QString::fromStdString(text);
        lblQtyStatus->setText(shown);
        for (accpac::FieldEdit* control :
             {afeICLOCIaqtyonhand, afeICLOCIqtysalordr, afeICLOCIqtyonorder, afeICLOCIqtyavail,
              afeICLOCIqtycommitted})
            control->setToolTip(shown);
    }
    ColourAvailable();
}

std::string QuantityPanel::UnreachableText() const {
    return "The quantity database cannot be reached (" +
           (lastSuccess_ ? "last successful lookup at " + LocalClockTime(*lastSuccess_)
                         : std::string("no lookup has succeeded yet")) +
           (worker_ && worker_->Reconnecting() ? "); reconnecting." : ").");
}

void QuantityPanel::UpdateZoomButtons() {
    bool zoom = false;
    std::string item;
    IgnoreErrors([&] {
        // No answer counts as an empty list.
        const QVariant empty = accpac::CallByName(detailList_.data(), "IsListEmpty");
        if (!empty.isValid() || empty.isNull() || empty.toBool()) return;
        accpac::DataSource* detail = DetailSource();
        IgnoreErrors([&] { detail->Fields().FieldList({kDetailItemNumber, kDetailZoomAllowed}); });
        item = TrimSpaces(detail->Fields().Item(kDetailItemNumber).Value().ToString());
        zoom = !item.empty() && detail->Fields().Item(kDetailZoomAllowed).Value().ToBool();
    });
    LabelZoomButtons(item);
    zoom = zoom && !LookupPending();  // no figures yet: nothing to zoom into

    // A quantity that cannot be read counts as none.
    auto positive = [](const accpac::FieldEdit* control) {
        bool result = false;
        IgnoreErrors([&] { result = control->Value().ToDouble() > 0; });
        return result;
    };
    IgnoreErrors([&] { btnSalesOrderZoom->setEnabled(zoom); });
    IgnoreErrors([&] { btnPurchaseOrderZoom->setEnabled(zoom && positive(afeICLOCIqtyonorder)); });
    IgnoreErrors([&] { btnCommittedZoom->setEnabled(zoom && positive(afeICLOCIqtycommitted)); });
}

// The zoom buttons' shortcuts, Alt+1, 2 and 3 from left to right, and tooltips that say
// what each opens and its shortcut.
void QuantityPanel::LabelZoomButtons(const std::string& item) {
    // Labelled again only when the item changes: a refresh stays as cheap as its query.
    if (zoomsLabelled_ && item == labelledItem_) return;
    const bool first = !zoomsLabelled_;
    zoomsLabelled_ = true;
    labelledItem_ = item;
    // The shortcuts' texts never change: formatted once.
    static const QString keyTexts[3] = {
        QKeySequence(Qt::ALT | Qt::Key_1).toString(QKeySequence::NativeText),
        QKeySequence(Qt::ALT | Qt::Key_2).toString(QKeySequence::NativeText),
        QKeySequence(Qt::ALT | Qt::Key_3).toString(QKeySequence::NativeText)};
    const struct {
        accpac::FieldEdit* button;
        const char* lists;
        void (QuantityPanel::*click)();
    } zooms[] = {
        {btnSalesOrderZoom, "Sales orders", &QuantityPanel::btnSalesOrderZoom_Click},
        {btnPurchaseOrderZoom, "Purchase orders", &QuantityPanel::btnPurchaseOrderZoom_Click},
        {btnCommittedZoom, "Committed quantities", &QuantityPanel::btnCommittedZoom_Click},
    };
    QString where;
    if (!item.empty())
        where = u" of " % QString::fromStdString(item) % u" at " %
                QString::fromStdString(locationCode_);
    for (int i = 0; i < 3; ++i) {
        const auto& zoom = zooms[i];
        if (first && !zoom.button->findChild<QShortcut*>()) {
            auto* shortcut = new QShortcut(Qt::ALT | Qt::Key(Qt::Key_1 + i), zoom.button);
            connect(shortcut, &QShortcut::activated, this, [this, zoom] {
                if (zoom.button->isEnabled()) (this->*zoom.click)();
            });
        }
        const QString text = QLatin1String(zoom.lists) % where % u" (" % keyTexts[i] % u')';
        zoom.button->setToolTip(text);
    }
}

// ---------------------------------------------------------------------------------------
// Lookup

void QuantityPanel::LookupQuantities(const std::string& sItemNo, const std::string& sLocation) {
    pendingLookup_ = 0;
    try {
        // The quantity record keeps the last figures until this lookup writes its own (or
        // the marker) or, when its answer is late, empties it.

        // An item read before has its statement ready: it goes to the worker at once, and
        // the item is read while the database answers.
        uint64_t id = 0;
        std::string earlyItem;
        if (auto known = statements_.itemOfLine.find(sItemNo);
            worker_ && known != statements_.itemOfLine.end()) {
            earlyItem = known->second;
            id = worker_->Submit(Statement(earlyItem, sLocation));
        }
        adsICITEM->Fields().Item(kItemNumber).PutWithoutVerification(Variant(sItemNo));
        if (!adsICITEM->Read()) {
            if (worker_) worker_->Drop();
            WriteNotFoundMarker();
            SetStatus("Item " + sItemNo + " is not in the item file.");
            return;
        }
        // The query gets the item number as the item record holds it.
        const std::string itemNumber = adsICITEM->Fields().Item(kItemNumber).Value().ToString();
        if (!worker_) throw std::logic_error("the quantity sources are not open");
        if (id == 0 || itemNumber != earlyItem) {
            id = worker_->Submit(Statement(itemNumber, sLocation));
            statements_.itemOfLine.insert_or_assign(sItemNo, itemNumber);
        }
        if (std::optional<LookupAnswer> answer = worker_->Wait(id, kLookupBudget)) {
            ShowAnswer(*answer, sLocation);
            return;
        }
        // The answer is shown when it comes, if this item is still the line's.
        pendingLookup_ = id;
        pendingLocation_ = sLocation;
        adsICLOCQT->ClearRecord();
        SetStatus("Looking up the quantities\u2026");
    } catch (...) {
        if (worker_) worker_->Drop();
        WriteNotFoundMarker();
        SetStatus("The quantity query failed: " +
                  FirstLine(DescribeException(std::current_exception())));
    }
}

const std::string& QuantityPanel::Statement(const std::string& itemNumber,
                                            const std::string& location) {
    // Lines of an order come back to the same items: each item's statement is made once
    // for as long as the query stays the same.
    if (statements_.query != query_ || statements_.byItem.size() >= 4096 ||
        statements_.itemOfLine.size() >= 4096) {
        statements_.byItem.clear();
        statements_.itemOfLine.clear();
        statements_.query = query_;
    }
    std::string key = location;
    key.append(1, '\0').append(itemNumber);
    auto found = statements_.byItem.find(key);
    if (found == statements_.byItem.end())
        found = statements_.byItem
                    .emplace(std::move(key), QuantityStatement(query_, itemNumber, location))
                    .first;
    return found->second;
}

void QuantityPanel::ShowAnswer(const LookupAnswer& answer, const std::string& location) {
    using Outcome = LookupAnswer::Outcome;
    if (answer.outcome == Outcome::Found) {
        size_t i = 0;
        for (const QuantityColumn& column : kQuantityColumns)
            adsICLOCQT->Fields().Item(column.field).SetValue(Variant(answer.values.at(i++)));
        lastSuccess_ = std::chrono::system_clock::now();  // the local time only when shown
        SetStatus("");
        return;
    }
    WriteNotFoundMarker();
    switch (answer.outcome) {
        case Outcome::NoRow:
            SetStatus("Not stocked at " + location + ".");
            break;
        case Outcome::QueryFailed:
            SetStatus("The quantity query failed: " + answer.error);
            break;
        case Outcome::TimedOut:
            SetStatus("The quantity database did not answer within " +
                      std::to_string(queryTimeout_.count()) + " s.");
            break;
        default:
            SetStatus(UnreachableText());
            break;
    }
}

void QuantityPanel::LateAnswer(uint64_t id, const LookupAnswer& answer) {
    if (id != pendingLookup_) return;  // the line has moved on
    pendingLookup_ = 0;
    IgnoreErrors([&] { ShowAnswer(answer, pendingLocation_); });
    ShowFigures(true);
    UpdateZoomButtons();
    UpdateShortage();
}

void QuantityPanel::WriteNotFoundMarker() {
    for (const QuantityColumn& column : kQuantityColumns)
        adsICLOCQT->Fields().Item(column.field).SetValue(Variant(kNotFoundMarker));
}

// ---------------------------------------------------------------------------------------
// Zoom

void QuantityPanel::ZoomIC(const std::string& sLocation, int16_t iDocType) {
    accpac::DataSource* detail = DetailSource();
    if (detail->Fields().Item(kDetailItemNumber).Value().ToString().empty()) return;
    const std::vector<std::string> keys =
        StringArray({Variant("ITEMNO"), Variant("LOCATION"), Variant("DOCTYPE")});
    const std::vector<std::string> values =
        StringArray({detail->Fields().Item(kDetailItemNumber).Value(), Variant(sLocation),
                     Variant(std::to_string(iDocType))});
    LaunchUI(session_.get(), kInquiryScreen, KVBuildList(keys, values), MainWindowHandle());
}

void QuantityPanel::ZoomClicked(int16_t iDocType) {
    try {
        ZoomIC(locationCode_, iDocType);
    } catch (...) {
        MsgBox(DescribeException(std::current_exception()), MsgIcon::Exclamation);
    }
}

void QuantityPanel::btnSalesOrderZoom_Click() { ZoomClicked(kDocSalesOrders); }
void QuantityPanel::btnCommittedZoom_Click() { ZoomClicked(kDocCommitted); }
void QuantityPanel::btnPurchaseOrderZoom_Click() { ZoomClicked(kDocPurchaseOrders); }

// ---------------------------------------------------------------------------------------
// Every location at a glance

void QuantityPanel::OpenLocationTable() {
    if (!worker_) return;  // the quantity sources are not open
    if (!locationTable_) {
        LocationTable::Setup setup;
        setup.connectionString = connectionString_;
        setup.query = query_;
        setup.queryTimeout = queryTimeout_;
        setup.panelLocation = locationCode_;
        IgnoreErrors([&] {
            if (dbLink_) setup.locations = dbLink_->LocationCodes();
        });
        IgnoreErrors([&] {
            setup.decimals =
                afeICLOCIaqtyonhand->NumberedProperty(accpac::FieldEditDecimals).ToInteger();
        });
        if (drilldown_)
            setup.zoom = [this](const std::string& location, int16_t docType) {
                // As for the zoom buttons: only a line that allows it.
                bool allowed = false;
                IgnoreErrors([&] {
                    allowed = DetailSource()->Fields().Item(kDetailZoomAllowed).Value().ToBool();
                });
                if (!allowed) return;
                try {
                    ZoomIC(location, docType);
                } catch (...) {
                    MsgBox(DescribeException(std::current_exception()), MsgIcon::Exclamation);
                }
            };
        locationTable_ = std::make_unique<LocationTable>(std::move(setup), frmQTY->window());
    }
    RefreshQuantities();  // the item record is the line's item
    locationTable_->show();
    locationTable_->raise();
    locationTable_->activateWindow();
    FollowLineInLocationTable(true);
}

std::string QuantityPanel::LineLocation() const {
    std::string location;
    IgnoreErrors([&] {
        location = TrimSpaces(DetailSource()->Fields().Item(kDetailLocation).Value().ToString());
    });
    return location;
}

void QuantityPanel::FollowLineInLocationTable(bool again) {
    if (!locationTable_ || !locationTable_->isVisible()) return;
    std::string shown, item;
    IgnoreErrors([&] {
        shown = TrimSpaces(DetailSource()->Fields().Item(kDetailItemNumber).Value().ToString());
    });
    if (!shown.empty()) {
        // The query takes the item number as the item record holds it; a record that was
        // not found keeps only the number it was looked up by.
        std::string key, number;
        IgnoreErrors([&] {
            key = adsICITEM->Fields().Item(kItemKey).Value().ToString();
            number = adsICITEM->Fields().Item(kItemNumber).Value().ToString();
        });
        const bool lineItem = EqualsIgnoreCase(key, shown) || EqualsIgnoreCase(number, shown);
        if (!lineItem) return;  // the panel has not read the line's item yet
        if (!key.empty()) item = number;
    }
    locationTable_->ShowItem(shown, item, LineLocation(), again);
}

int32_t QuantityPanel::MainWindowHandle() const {
    if (windowHandle_) return windowHandle_();
    return static_cast<int32_t>(frmQTY->window()->winId());
}

// ---------------------------------------------------------------------------------------
// The line against the figures

void QuantityPanel::UpdateLineSignals() {
    UpdateShortage();
    UpdateLineLocation();
}

void QuantityPanel::ColourAvailable() {
    // A real quantity that cannot be served, or that this order overdraws, stands out; the
    // marker is explained instead.
    bool inError = false;
    if (statusText_.empty()) {
        IgnoreErrors([&] { inError = afeICLOCIqtyavail->Value().ToDouble() < 0; });
        inError = inError || shortageShown_;
    }
    if (inError == availableInError_) return;
    availableInError_ = inError;
    QPalette colours = frmQTY->palette();
    if (inError) colours.setColor(QPalette::Text, ErrorColour(colours));
    afeICLOCIqtyavail->setPalette(colours);
}

void QuantityPanel::UpdateShortage() {
    std::optional<Shortage> shortage;
    IgnoreErrors([&] {
        // Only figures of the item can be compared.
        if (!figuresShown_ || LookupPending() || !statusText_.empty()) return;
        accpac::Fields& item = adsICITEM->Fields();
        const std::string itemNo = item.Item(kItemNumber).Value().ToString();
        if (itemNo.empty()) return;
        const ShortageCheck check{{itemNo, item.Item(kItemKey).Value().ToString()},
                                  locationCode_,
                                  item.Item(kItemStockUnit).Value().ToString(),
                                  afeICLOCIqtyavail->Value().ToDouble()};
        std::vector<LineQuantity> lines, saved;
        ReadOrderLines(lines, saved);
        if (itemNo != unitsItem_) {
            unitsItem_ = itemNo;
            unitFactors_.clear();
        }
        shortage = OrderShortage(lines, saved, check,
                                 [this](const std::string& unit) { return UnitFactor(unit); });
    });
    const std::string text = shortage ? shortage->Text(quantityDecimals_) : std::string();
    shortageShown_ = shortage && shortage->IsShort();
    if (text != shortageText_) {
        shortageText_ = text;
        lblShortage->setText(QString::fromStdString(text));
        lblShortage->setToolTip(lblShortage->text());
        lblShortage->setVisible(!text.empty());
    }
    ColourAvailable();
}

void QuantityPanel::ReadOrderLines(std::vector<LineQuantity>& lines,
                                   std::vector<LineQuantity>& saved) {
    // A line's item is its stored number, or the number as entered before it was checked.
    auto line = [](const std::function<QVariant(int)>& field) {
        std::string item = TrimSpaces(field(kDetailStoredItem).toString().toStdString());
        if (item.empty()) item = field(kDetailItemNumber).toString().toStdString();
        return LineQuantity{item, field(kDetailLocation).toString().toStdString(),
                            field(kDetailUnit).toString().toStdString(),
                            field(kDetailQuantity).toDouble()};
    };
    if (listAnswersLines_ && detailList_) {
        QObject* list = detailList_.data();
        auto read = [&](const char* count, const char* value, std::vector<LineQuantity>& into) {
            const int n = accpac::CallByName(list, count).toInt();
            for (int i = 0; i < n; ++i)
                into.push_back(line([&](int f) {
                    return accpac::CallByName(list, value, {i, f});
                }));
        };
        read("LineCount", "LineValue", lines);
        read("SavedLineCount", "SavedLineValue", saved);
        return;
    }
    // Without the list's rows: the line being entered, as new.
    accpac::Fields& fields = DetailSource()->Fields();
    lines.push_back(line([&](int f) {
        QVariant value;
        IgnoreErrors([&] {
            const Variant v = fields.Item(f).Value();
            value = f == kDetailQuantity ? QVariant(v.ToDouble())
                                         : QVariant(QString::fromStdString(v.ToString()));
        });
        return value;
    }));
}

std::optional<double> QuantityPanel::UnitFactor(const std::string& unit) {
    auto known = unitFactors_.find(unit);
    if (known != unitFactors_.end()) return known->second;
    std::optional<double> factor;
    IgnoreErrors([&] {
        accpac::Fields& fields = adsICITEMU->Fields();
        fields.Item(kUnitItem).PutWithoutVerification(Variant(unitsItem_));
        fields.Item(kUnitCode).PutWithoutVerification(Variant(unit));
        if (adsICITEMU->Read()) factor = fields.Item(kUnitFactor).Value().ToDouble();
    });
    return unitFactors_[unit] = factor;
}

void QuantityPanel::UpdateLineLocation(bool readAgain) {
    std::string item;
    IgnoreErrors([&] {
        item = TrimSpaces(DetailSource()->Fields().Item(kDetailItemNumber).Value().ToString());
    });
    const std::string location = ToUpperAscii(LineLocation());
    if (item.empty() || location.empty() || EqualsIgnoreCase(location, locationCode_)) {
        lineLocationKey_.clear();
        if (lineWorker_ && lineLookup_) lineWorker_->Drop();
        lineLookup_ = 0;
        ShowLineLocation("");
        return;
    }
    const std::string key = ToUpperAscii(item) + '\n' + location;
    if (key == lineLocationKey_ && !readAgain) return;
    lineLocationKey_ = key;
    lineLocation_ = location;
    lineLookup_ = 0;
    ShowLineLocation("line ships from " + location);
    // The query gets the item number as the item record holds it; an item the record does
    // not hold has no figures to add.
    std::string itemNumber;
    IgnoreErrors([&] {
        accpac::Fields& fields = adsICITEM->Fields();
        const std::string stored = fields.Item(kItemNumber).Value().ToString();
        if (EqualsIgnoreCase(item, stored) ||
            EqualsIgnoreCase(item, fields.Item(kItemKey).Value().ToString()))
            itemNumber = stored;
    });
    if (itemNumber.empty() || !worker_) return;
    try {
        if (!lineWorker_)
            lineWorker_ = std::make_unique<LookupWorker>(
                connectionString_, queryTimeout_, [this](uint64_t id, const LookupAnswer& answer) {
                    LineLocationAnswer(id, answer);
                });
        const uint64_t id = lineWorker_->Submit(QuantityStatement(query_, itemNumber, location));
        lineLookup_ = id;
        // The window does not wait: the answer comes through LineLocationAnswer.
        if (std::optional<LookupAnswer> answer =
                lineWorker_->Wait(id, std::chrono::microseconds(0)))
            LineLocationAnswer(id, *answer);
    } catch (...) {
        lineLookup_ = 0;  // a query the formatter refuses: the location alone is said
    }
}

void QuantityPanel::LineLocationAnswer(uint64_t id, const LookupAnswer& answer) {
    if (id != lineLookup_) return;  // the line has moved on
    lineLookup_ = 0;
    std::string text = "line ships from " + lineLocation_;
    if (answer.outcome == LookupAnswer::Outcome::NoRow) {
        text += ": not stocked there";
    } else if (answer.outcome == LookupAnswer::Outcome::Found) {
        const auto* available = std::find_if(
            std::begin(kQuantityColumns), std::end(kQuantityColumns),
            [](const QuantityColumn& c) { return std::string_view(c.name) == "QTAVAIL"; });
        bool ok = false;
        const double value =
            QString::fromStdString(
                answer.values.at(static_cast<size_t>(available - kQuantityColumns)))
                .toDouble(&ok);
        if (ok) text += ": " + FormatQuantity(value, quantityDecimals_) + " available";
    }
    ShowLineLocation(text);
}

void QuantityPanel::ShowLineLocation(const std::string& text) {
    if (text == lineLocationText_) return;
    lineLocationText_ = text;
    lblLineLocation->setText(QString::fromStdString(text));
    lblLineLocation->setToolTip(lblLineLocation->text());
    lblLineLocation->setVisible(!text.empty());
    LayoutStatusRow();
}

void QuantityPanel::LayoutStatusRow() {
    // The hint takes the row's start, under the location caption; the status line and the
    // shortage the rest.
    constexpr int kRowTop = 750, kRowHeight = 255, kLeft = 105, kGap = 120, kHintMost = 4200;
    int left = kLeft;
    if (!lineLocationText_.empty()) {
        const int width =
            std::min(accpac::PixelsToTwipsX(lblLineLocation->sizeHint().width()) + kGap, kHintMost);
        accpac::SetTwipsGeometry(lblLineLocation, kLeft, kRowTop, width, kRowHeight);
        left += width + kGap;
    }
    for (QLabel* label : {lblQtyStatus, lblShortage})
        accpac::SetTwipsGeometry(label, left, kRowTop, kFrameWidth - kLeft - left, kRowHeight);
}

}  // namespace lumaro
