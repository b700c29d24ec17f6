#pragma once
// The Quantity panel of the order entry window: the frame frmQTY with five inventory
// quantities of the item on the current order detail line, at the location of the
// settings, and three zoom buttons that open the inventory inquiry for that item.
//
// The panel is a part of the main window: the window creates it, gives it the session, the
// DB link, the program settings and (once the hosted screen has opened) the screen's order
// header and detail data sources and detail list, and calls its routines at start-up and
// shutdown. The window's state for the panel (settings read at set-up, the external
// connection, the location description, the remembered item key) is kept here, where the
// window reaches it through the accessors below.
//
// The quantities are read by running the configured query on the external database; the
// panel's own data sources hold and format them (the quantity record) and read the item
// and location records of the platform. When the five controls hold the not-found marker,
// a status line under them (and their tooltip) says why; nothing takes the focus.

#include <QObject>
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "accpac/Controls.h"
#include "accpac/DataSource.h"
#include "accpac/Session.h"
#include "panel/LookupWorker.h"
#include "panel/OrderShortage.h"

class QLabel;
class QToolButton;
class QWidget;

namespace ado {
class Connection;
}

namespace lumaro {

class LocationTable;
class ProgramSettings;

class QuantityPanel : public QObject {
    Q_OBJECT
public:
    // Creates frmQTY on the window (hidden until the window lays it out), its controls and
    // its three data sources through the installed platform.
    explicit QuantityPanel(QWidget* window);
    ~QuantityPanel() override;
    QuantityPanel(const QuantityPanel&) = delete;
    QuantityPanel& operator=(const QuantityPanel&) = delete;

    // --- What the window gives the panel.
    void SetSession(std::shared_ptr<accpac::Session> session) { session_ = std::move(session); }
    void SetDBLink(std::shared_ptr<accpac::DBLink> dbLink) { dbLink_ = std::move(dbLink); }
    void SetSettings(ProgramSettings* settings) { settings_ = settings; }
    // Asks the owner to end the program (after the set-up failures of OpenQuantitySources,
    // which then return false). The panel itself never ends the program.
    void SetEndProgram(std::function<void()> endProgram) { endProgram_ = std::move(endProgram); }
    // The handle of the window that owns a launched inquiry (default: the top-level
    // window of frmQTY).
    void SetWindowHandle(std::function<int32_t()> windowHandle) {
        windowHandle_ = std::move(windowHandle);
    }
    // The hosted screen's order header and detail data sources and its detail list; their
    // record-changed events reach the two handlers below from now on. Connecting again
    // (or with nullptr) releases the previous ones; their events stop.
    void ConnectOrderSources(QObject* adsOEORDH, QObject* adsOEORDD, QObject* detailList);
    void ReleaseOrderSources() { ConnectOrderSources(nullptr, nullptr, nullptr); }

    // --- Routines.
    // Reads the four settings, opens the external connection, activates the panel's data
    // sources and reads the location's description. On failure tells the user, ends the
    // program and returns false.
    bool OpenQuantitySources();
    // Sets the decimals of the quantity controls from the inventory options, sets the zoom
    // buttons up by the Drilldown setting, and forgets the remembered item. Raises.
    void SetupQuantityControls();
    // Looks the detail line's item up when it differs from the remembered one. Never raises.
    void RefreshQuantities();
    // Reads the detail line's item again even when it is the one shown (F5, the refresh
    // button). Never raises.
    void ReadAgain();
    // Enables each zoom button from the detail line and the quantities. Never raises.
    void UpdateZoomButtons();
    // Sets the zoom buttons' shortcuts and tooltips for the item on the line.
    void LabelZoomButtons(const std::string& item);
    // Closes the external connection and deactivates the data sources. Never raises.
    void CloseQuantitySources();
    // Puts the item's quantities at the location into the quantity record, or the
    // not-found marker; leaves the item record on the item when found. Raises only when
    // the marker itself cannot be written.
    void LookupQuantities(const std::string& sItemNo, const std::string& sLocation);
    // Opens the inventory inquiry for the detail line's item at sLocation, for the
    // document kind iDocType (1 sales orders, 2 committed, 3 purchase orders). Raises the
    // error of LaunchUI.
    void ZoomIC(const std::string& sLocation, int16_t iDocType);

    // --- Event handlers.
    void adsOEORDH_OnRecordChanged(int eReason, accpac::Field* pField, QObject* pMultipleFields);
    void adsOEORDD_OnRecordChanged(int eReason, accpac::Field* pField, QObject* pMultipleFields);
    // The zoom buttons. A failure to start the inquiry is shown to the user (the error's
    // description) and order entry goes on.
    void btnSalesOrderZoom_Click();
    void btnCommittedZoom_Click();
    void btnPurchaseOrderZoom_Click();

    // --- State kept for the window.
    const std::string& ConnectionString() const { return connectionString_; }  // decoded setting
    const std::string& LocationCode() const { return locationCode_; }
    const std::string& Query() const { return query_; }
    bool Drilldown() const { return drilldown_; }
    const std::string& LocationDescription() const { return locationDescription_; }
    // The item last looked up ("~": look the next one up whatever it is; "": none shown).
    const std::string& RememberedItemKey() const { return rememberedItemKey_; }
    // Why the five controls hold the not-found marker; empty when the figures are good or
    // no item is shown.
    const std::string& StatusText() const { return statusText_; }
    void SetRememberedItemKey(const std::string& key) { rememberedItemKey_ = key; }
    const std::shared_ptr<ado::Connection>& ExternalConnection() const {
        return externalConnection_;
    }
    const std::shared_ptr<accpac::Session>& Session() const { return session_; }
    QObject* adsOEORDH() const { return adsOEORDH_; }
    QObject* adsOEORDD() const { return adsOEORDD_; }
    QObject* DetailList() const { return detailList_; }

    // --- The controls of frmQTY (owned by it) and the panel's data sources.
    accpac::Frame* frmQTY;
    QLabel* lblQtyOnHand;
    QLabel* lblQtyOnSalesOrder;
    QLabel* lblQtyOnPurchase;
    QLabel* lblQtyCommitted;
    QLabel* lblQtyAvailable;
    QLabel* lblLocation;
    QLabel* lblQtyStatus;     // the status line: why a figure is missing
    QToolButton* btnRefresh;  // reads the item again (F5)
    accpac::FieldEdit* afeICLOCIaqtyonhand;
    accpac::FieldEdit* afeICLOCIqtysalordr;
    accpac::FieldEdit* btnSalesOrderZoom;
    accpac::FieldEdit* afeICLOCIqtyonorder;
    accpac::FieldEdit* btnPurchaseOrderZoom;
    accpac::FieldEdit* afeICLOCIqtycommitted;
    accpac::FieldEdit* btnCommittedZoom;
    accpac::FieldEdit* afeICLOCIqtyavail;
    accpac::DataSource* adsICLOCQT;  // "IC0374": the quantity record
    accpac::DataSource* adsICITEM;   // "IC0310": the item record
    accpac::DataSource* adsICLOC;    // "IC0370": the location record

    // How long the window waits for a lookup before it shows "Looking up" and goes on.
    static constexpr std::chrono::milliseconds kLookupBudget{100};
    // Whether a lookup is still out (its answer will be shown when it comes).
    bool LookupPending() const { return pendingLookup_ != 0; }

    // --- Every location at a glance: the location table (LocationTable.h).
    QToolButton* btnLocations;  // beside the location caption: opens the table (F6)
    // Opens the table of the line's item at every location and reads it again, or does
    // nothing before the quantity sources are open.
    void OpenLocationTable();
    LocationTable* LocationTableWindow() const { return locationTable_.get(); }
    // The detail line's location; "" when there is none or it cannot be read.
    std::string LineLocation() const;

    // --- The line against the figures: what the order needs of the item at the location,
    // and the line's own location when it is not the panel's. The five controls keep
    // showing the panel's location.
    // "This order needs 30, 12 available: short 18" (or why it is not compared); empty
    // when the order's need fits or no figures are shown. Follows each change of the
    // line's item, location, quantity and unit at once, with no query.
    const std::string& ShortageText() const { return shortageText_; }
    // "line ships from WH2: 40 available" while the line's location differs from the
    // panel's; empty otherwise. The available quantity is read with the configured query
    // off the window's thread and added when it comes.
    const std::string& LineLocationText() const { return lineLocationText_; }
    bool LineLocationPending() const { return lineLookup_ != 0; }
    QLabel* lblShortage;             // in the status row, shown when the order's need does not fit
    QLabel* lblLineLocation;         // under the location caption
    accpac::DataSource* adsICITEMU;  // "IC0312": the item's units and their factors

private:
    // Shows the line's item and location in the location table, when it is open.
    void FollowLineInLocationTable(bool again = false);
    void UpdateLineSignals();
    void UpdateShortage();
    void UpdateLineLocation(bool readAgain = false);
    void LineLocationAnswer(uint64_t id, const LookupAnswer& answer);
    void ShowLineLocation(const std::string& text);
    void LayoutStatusRow();
    void ColourAvailable();
    // The order's lines as entered and as last saved, from the detail list when it answers
    // them, otherwise the detail line alone.
    void ReadOrderLines(std::vector<LineQuantity>& lines, std::vector<LineQuantity>& saved);
    std::optional<double> UnitFactor(const std::string& unit);

    std::string shortageText_;
    bool shortageShown_ = false;
    bool availableInError_ = false;
    int quantityDecimals_ = 0;
    bool listAnswersLines_ = false;  // the detail list has LineCount and the rest
    std::string unitsItem_;          // the item whose factors are remembered
    std::map<std::string, std::optional<double>> unitFactors_;
    std::string lineLocationText_;
    std::string lineLocationKey_;  // the item and location the hint was read for
    std::string lineLocation_;
    std::unique_ptr<LookupWorker> lineWorker_;  // the line location's lookups
    uint64_t lineLookup_ = 0;                   // the one whose answer is awaited, or 0
    std::unique_ptr<LocationTable> locationTable_;

    // Shows a lookup's answer: the figures in the quantity record, or the not-found marker
    // and the reason in the status line.
    void ShowAnswer(const LookupAnswer& answer, const std::string& location);
    // The answer of the pending lookup that came after the window stopped waiting.
    void LateAnswer(uint64_t id, const LookupAnswer& answer);
    void WriteNotFoundMarker();
    // The lookup statement of the item at the location.
    const std::string& Statement(const std::string& itemNumber, const std::string& location);
    // Shows the status line and the controls' tooltip, the figures or no figures, and the
    // colour of the available quantity.
    void SetStatus(const std::string& text);
    void ShowFigures(bool shown);
    // No item on the line: no figures, no item text, every zoom off. The remembered item
    // stays as the caller leaves it.
    void ClearShown();
    std::string UnreachableText() const;
    void EndProgram();
    void ShowOpenFailure(std::exception_ptr error);
    accpac::DataSource* DetailSource() const;
    void ZoomClicked(int16_t iDocType);
    int32_t MainWindowHandle() const;

    std::shared_ptr<accpac::Session> session_;
    std::shared_ptr<accpac::DBLink> dbLink_;
    ProgramSettings* settings_ = nullptr;
    std::function<void()> endProgram_;
    std::function<int32_t()> windowHandle_;

    std::string connectionString_;
    std::string locationCode_;
    std::string query_;
    bool drilldown_ = false;
    std::string locationDescription_;
    std::string rememberedItemKey_;
    std::string statusText_;
    bool zoomsLabelled_ = false;
    std::string labelledItem_;  // the item the zoom buttons' tooltips name
    // Of the last lookup that gave figures.
    std::optional<std::chrono::system_clock::time_point> lastSuccess_;
    bool figuresShown_ = true;
    std::shared_ptr<ado::Connection> externalConnection_;
    std::unique_ptr<LookupWorker> worker_;  // runs the lookups off the window's thread
    uint64_t pendingLookup_ = 0;            // the lookup whose answer is awaited, or 0
    std::string pendingLocation_;
    std::chrono::seconds queryTimeout_{15};
    // The lookup statements made so far, by item and location, all for the query `query`,
    // and the item numbers (as the item record holds them) of the items of lines read.
    struct Statements {
        std::string query;
        std::unordered_map<std::string, std::string> byItem;
        std::unordered_map<std::string, std::string> itemOfLine;
    } statements_;

    QPointer<QObject> adsOEORDH_;
    QPointer<QObject> adsOEORDD_;
    QPointer<QObject> detailList_;
};

}  // namespace lumaro
