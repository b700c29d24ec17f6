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
};

constexpr const char* kOptionsView = "IC0380";
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

std::string FirstLine(const std::string& text) {
    const size_t end = text.find_first_of("\r\n");
    return TrimSpaces(end == std::string::npos ? text : text.substr(0, end));
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

    // The panel is a compact strip in the design's 8-point type.
    QFont font = frmQTY->font();
    font.setPointSizeF(8);
    frmQTY->setFont(font);
    QPalette statusColours = frmQTY->palette();
    statusColours.setColor(QPalette::WindowText, ErrorColour(statusColours));
    lblQtyStatus->setPalette(statusColours);
    ShowFigures(false);  // nothing looked up yet

    connect(btnSalesOrderZoom, &accpac::FieldEdit::Clicked, this,
            &QuantityPanel::btnSalesOrderZoom_Click);
    connect(btnCommittedZoom, &accpac::FieldEdit::Clicked, this,
            &QuantityPanel::btnCommittedZoom_Click);
    connect(btnPurchaseOrderZoom, &accpac::FieldEdit::Clicked, this,
            &QuantityPanel::btnPurchaseOrderZoom_Click);
}

QuantityPanel::~QuantityPanel() = default;

void QuantityPanel::ConnectOrderSources(QObject* adsOEORDH, QObject* adsOEORDD,
                                        QObject* detailList) {
    if (adsOEORDH_) disconnect(adsOEORDH_, nullptr, this, nullptr);
    if (adsOEORDD_) disconnect(adsOEORDD_, nullptr, this, nullptr);
    adsOEORDH_ = adsOEORDH;
    adsOEORDD_ = adsOEORDD;
    detailList_ = detailList;
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
    worker_.reset();  // a lookup still running is cancelled; nothing waits for it
    pendingLookup_ = 0;
    IgnoreErrors([&] {
        if (externalConnection_ && externalConnection_->State() == ado::adStateOpen)
            externalConnection_->Close();
    });
    for (accpac::DataSource* source : {adsICLOCQT, adsICITEM, adsICLOC})
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
            break;
        }
        default:
            break;
    }
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
    // A real quantity that cannot be served stands out; the marker is explained instead.
    bool negative = false;
    if (text.empty()) IgnoreErrors([&] { negative = afeICLOCIqtyavail->Value().ToDouble() < 0; });
    if (negative == availableNegative_) return;
    availableNegative_ = negative;
    QPalette colours = frmQTY->palette();
    if (negative) colours.setColor(QPalette::Text, ErrorColour(colours));
    afeICLOCIqtyavail->setPalette(colours);
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

int32_t QuantityPanel::MainWindowHandle() const {
    if (windowHandle_) return windowHandle_();
    return static_cast<int32_t>(frmQTY->window()->winId());
}

}  // namespace lumaro
