#include "app/frmOEEntry.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <algorithm>
#include <limits>

#include "accpac/LateBound.h"
#include "accpac/Platform.h"
#include "accpac/Twips.h"
#include "app/AccpacOcxRegHelper.h"
#include "common/ErrorHandling.h"
#include "common/MessageBox.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "common/VersionInfo.h"
#include "panel/QuantityPanel.h"
#include "platform/AccpacPaths.h"
#include "settings/ProgramSettings.h"

namespace lumaro {

namespace {

// The session request of the program.
constexpr const char* kAppID = "XX";
constexpr const char* kAppVersion = "54A";
constexpr const char* kProgramName = "OE1100";
constexpr const char* kControlName = "AccpacWrappedControl";

// Space the window adds to the hosted screen: under it for the panel, and at its side.
constexpr int kExtraHeightTwips = 1020;
constexpr int kExtraWidthTwips = 100;
// The panel sits this far under the screen's Save button.
constexpr int kPanelGapTwips = 100;

std::string RegistryPermissionMessage() {
    return "System Error. The current user does not have permission to add or remove registry keys "
           "to "
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes. "
           "Please grant the current user 'Full Control' permissions to registry key "
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes in order to use " +
           ProductName() + ".";
}

[[noreturn]] void NoObject(const char* what) {
    throw RuntimeError::Standard(kErrObjectNotSet, what);
}

// A notification parameter as a 16-bit integer; values outside the range are clamped.
int16_t ToInt16Clamped(const QVariant& value) {
    bool ok = false;
    double d = value.toDouble(&ok);
    if (!ok) throw RuntimeError::Standard(kErrTypeMismatch, "frmOEEntry");
    d = std::clamp(d, static_cast<double>(std::numeric_limits<int16_t>::min()),
                   static_cast<double>(std::numeric_limits<int16_t>::max()));
    return static_cast<int16_t>(RoundToWhole(d, INT16_MIN, INT16_MAX));
}

QObject* ScreenControl(QObject* screen, const char* collection, const char* name) {
    return accpac::CallObject(accpac::CallObject(screen, collection, {QString(name)}),
                              "GetControl");
}

}  // namespace

// ---- Module routines ---------------------------------------------------------------------

void ShowSessionErrors(accpac::Session& session) {
    auto display = accpac::Platform::Get().CreateErrorDisplay();
    display->ShowErrors(session);
    display->ClearErrors(session);
}

void ReportSessionError(accpac::Session& session, const std::string& message) {
    auto display = accpac::Platform::Get().CreateErrorDisplay();
    display->AddError(session, "", 3, message, "", "", 0);
}

bool IsApplicationActive(accpac::DBLink& dbLink, const std::string& applicationID) {
    auto applications = dbLink.ActiveApplications();
    if (!applications) return false;
    for (const auto& application : *applications)
        if (application.appId == applicationID && application.active) return true;
    return false;
}

// ---- Initialisation ------------------------------------------------------------------------

frmOEEntry::frmOEEntry(const std::string& commandLine, QWidget* parent) : QMainWindow(parent) {
    InitCommonControlsSafe();
    signonPrompt_ = HasLoginSwitch(commandLine);

    client_ = new QWidget(this);
    setCentralWidget(client_);
    mnuFile_ = menuBar()->addMenu(tr("&File"));
    mnuFile_->setObjectName("mnuFile");
    mnuFileClose_ = mnuFile_->addAction(tr("&Close"));
    mnuFileClose_->setObjectName("mnuFile_Close");
    connect(mnuFileClose_, &QAction::triggered, this, &QWidget::close);

    settings_ = std::make_unique<ProgramSettings>(
        [this]() -> accpac::Session& {
            if (!session_) NoObject("Session");
            return *session_;
        },
        [this]() -> const AccpacPaths& {
            if (!paths_) NoObject("AccpacPaths");
            return *paths_;
        });
    panel_ = std::make_unique<QuantityPanel>(client_);
    panel_->SetSettings(settings_.get());
    panel_->SetEndProgram([this] { EndProgram(); });
    panel_->SetWindowHandle([this] { return static_cast<int32_t>(effectiveWinId() & 0x7fffffff); });
    setWindowTitle(QString::fromStdString(ProductName()));
}

frmOEEntry::~frmOEEntry() {
    Shutdown();
    // The panel's controls live on the client area; release the panel first.
    panel_.reset();
}

bool frmOEEntry::InitCommonControlsSafe() {
    // The standard window classes need no initialisation with this toolkit.
    return true;
}

bool frmOEEntry::HasLoginSwitch(const std::string& commandLine) {
    size_t start = 0;
    // Split at every blank, as the command line is examined word by word.
    while (start <= commandLine.size()) {
        size_t end = commandLine.find(' ', start);
        if (end == std::string::npos) end = commandLine.size();
        if (EqualsIgnoreCase(std::string_view(commandLine).substr(start, end - start), "/login"))
            return true;
        start = end + 1;
    }
    return false;
}

// ---- Start-up --------------------------------------------------------------------------------

template <typename StepFn>
bool frmOEEntry::Step(StepFn&& step) {
    try {
        step();
        return true;
    } catch (...) {
        HandleStartupError(std::current_exception());
        return false;
    }
}

void frmOEEntry::HandleStartupError(std::exception_ptr error) {
    try {
        if (session_) {
            if (session_->Errors().Count() > 0) {
                ShowErrors();
                ClearErrors();
            }
            return;
        }
    } catch (...) {
    }
    // Before a session exists there is no error list to show: tell the user directly.
    MsgBox(DescribeException(error), MsgIcon::Critical);
    startupFailed_ = true;
}

void frmOEEntry::Load() {
    if (loaded_) return;
    loaded_ = true;
    RunStartup();
}

void frmOEEntry::RunStartup() {
    // The session manager and the sign-on.
    Step([&] {
        if (!sessionManager_) sessionManager_ = accpac::Platform::Get().CreateSessionManager();
    });
    if (sessionManager_) {
        Step([&] { sessionManager_->SetAppID(kAppID); });
        Step([&] { sessionManager_->SetAppVersion(kAppVersion); });
        Step([&] { sessionManager_->SetProgramName(kProgramName); });
        Step([&] { sessionManager_->SetServerName(ServerName); });
        Step([&] { sessionManager_->SetSignonPrompt(signonPrompt_); });
    }
    session_.reset();
    Step([&] {
        if (!sessionManager_) NoObject("SessionManager");
        sessionManager_->CreateSession("", sessionID_, session_);
    });
    if (!session_) {
        // A cancelled sign-on closes without a word; one that failed says why.
        std::string reason;
        IgnoreErrors([&] { reason = sessionManager_ ? sessionManager_->LastError() : ""; });
        if (!reason.empty()) {
            MsgBox("Cannot sign on to Sage Accpac. " + reason, MsgIcon::Critical);
            EndProgram();
            return;
        }
        CloseWindow();
        return;
    }
    panel_->SetSession(session_);
    setWindowTitle(QString::fromStdString(ProductName()));

    // The platform, the settings file and the settings.
    Step([&] { paths_ = std::make_unique<AccpacPaths>(); });
    bool installed = false;
    Step([&] { installed = paths_ && paths_->Installed(); });
    if (!installed) {
        MsgBox("Sage Accpac is not installed.", MsgIcon::Critical);
        EndProgram();
        return;
    }
    bool placed = false;
    Step([&] { placed = CreateINIFile(); });
    if (!placed) {
        MsgBox("The settings file " + settings_->IniPath() +
                   " cannot be created: " + settings_->CreateFailure() + ".",
               MsgIcon::Critical);
        EndProgram();
        return;
    }
    bool checked = false;
    Step([&] { checked = CheckProgramSettings(); });
    if (!checked) {
        // Another user has been told already; SYSOP declined to set them now.
        IgnoreErrors([&] {
            if (settings_->ConnectionString().empty() &&
                EqualsIgnoreCase(session_->UserID(), "SYSOP"))
                MsgBox(ProductName() +
                           " needs its settings to start. Set them at the next start as SYSOP, "
                           "or with: lumaro-admin settings set --company " +
                           session_->CompanyID() + " --connection ...",
                       MsgIcon::Information);
        });
        EndProgram();
        return;
    }

    // The company database and its applications.
    Step([&] { dbLink_ = session_->OpenDBLink(1, 1); });
    if (!dbLink_) {
        MsgBox("Cannot create a database link with Sage Accpac.", MsgIcon::Critical);
        startupFailed_ = true;
        CloseWindow();
        return;
    }
    panel_->SetDBLink(dbLink_);
    bool orderEntry = false;
    Step([&] { orderEntry = IsApplicationActive(*dbLink_, "OE"); });
    if (!orderEntry) {
        MsgBox("Sage Accpac Order Entry is not active.", MsgIcon::Critical, MsgButtons::OK,
               "Error");
        startupFailed_ = true;
        CloseWindow();
        return;
    }
    bool inventory = false;
    Step([&] { inventory = IsApplicationActive(*dbLink_, "IC"); });
    if (!inventory) {
        MsgBox("Sage Accpac Inventory Control is not active.", MsgIcon::Critical);
        startupFailed_ = true;
        CloseWindow();
        return;
    }

    // The hosted Order Entry screen.
    if (!CreateHostedScreen()) {
        const std::string message = RegistryPermissionMessage();
        Step([&] { ReportSessionError(*session_, message); });
        Step([&] { ShowSessionErrors(*session_); });
        EndProgram();
        return;
    }

    // The Quantity panel.
    state_ = StartState::Running;
    Step([&] { panel_->OpenQuantitySources(); });
    if (state_ != StartState::Running) return;  // the panel ended the program
    Step([&] { panel_->SetupQuantityControls(); });
}

bool frmOEEntry::CreateHostedScreen() {
    bool success = false;
    auto helper = std::make_unique<AccpacOcxRegHelper>();
    // An error raised inside a registration call counts as a failure of that call.
    [&] {
        std::string clsid, codeBase, tempProgID;
        bool ok = false;
        if (!Step([&] { ok = helper->GetClsID(*session_, kProgramName, clsid, codeBase); }) || !ok)
            return;
        if (!Step([&] { ok = helper->InstallControl(clsid, codeBase, 0); }) || !ok) return;
        if (!Step([&] { ok = helper->SetProgID(std::to_string(sessionID_), clsid, tempProgID); }) ||
            !ok)
            return;

        accpac::ControlExtender* control = nullptr;
        Step([&] {
            control = accpac::Platform::Get().AddControl(tempProgID, kControlName, client_);
        });
        // The registration is removed at once, whether or not the control could be added.
        Step([&] { helper->ClearProgID(tempProgID); });
        if (!control) return;
        ctlDynamic_ = control;
        connect(control, &accpac::ControlExtender::ObjectEvent, this,
                &frmOEEntry::ctlDynamic_ObjectEvent);

        Step([&] { accpac::MoveTwips(control, 1, 1); });
        Step([&] {
            accpac::SetProperty(control->Object(), "sessionID", static_cast<int>(sessionID_));
        });
        Step([&] {
            accpac::SetProperty(control->Object(), "ServerName",
                                QString::fromStdString(ServerName));
        });
        Step([&] { control->show(); });
        Step([&] {
            // Both sizes come from the screen as it is now; height is set first.
            const accpac::TwipsRect screen = accpac::TwipsGeometry(control);
            const int panelHeight = accpac::TwipsGeometry(panel_->frmQTY).height;
            SetOuterHeightTwips(screen.height + kExtraHeightTwips + panelHeight);
            SetOuterWidthTwips(screen.width + kExtraWidthTwips);
        });
        Step([&] {
            setWindowTitle(QString::fromStdString(session_->CompanyID() + " - " + ProductName()));
        });
        success = true;
    }();
    helper.reset();
    return success;
}

void frmOEEntry::EndProgram() {
    // Ends at once: no shutdown processing.
    state_ = StartState::Ended;
}

void frmOEEntry::CloseWindow() {
    state_ = StartState::Closed;
    Shutdown();
    hide();
}

// ---- Error list --------------------------------------------------------------------------------

Variant frmOEEntry::ShowErrors() {
    auto display = accpac::Platform::Get().CreateErrorDisplay();
    if (!session_) NoObject("Session");
    display->ShowErrors(*session_);
    return {};
}

Variant frmOEEntry::ClearErrors() {
    auto display = accpac::Platform::Get().CreateErrorDisplay();
    if (!session_) NoObject("Session");
    display->ClearErrors(*session_);
    return {};
}

// ---- Settings ----------------------------------------------------------------------------------

std::string frmOEEntry::ConnectionString() const { return settings_->ConnectionString(); }
void frmOEEntry::SetConnectionString(const std::string& value) {
    settings_->SetConnectionString(value);
}
std::string frmOEEntry::Location() const { return settings_->Location(); }
void frmOEEntry::SetLocation(const std::string& value) { settings_->SetLocation(value); }
std::string frmOEEntry::Query() const { return settings_->Query(); }
void frmOEEntry::SetQuery(const std::string& value) { settings_->SetQuery(value); }
bool frmOEEntry::Drilldown() const { return settings_->Drilldown(); }
void frmOEEntry::SetDrilldown(bool value) { settings_->SetDrilldown(value); }
bool frmOEEntry::CreateINIFile() { return settings_->CreateINIFile(); }
bool frmOEEntry::CheckProgramSettings() { return settings_->CheckProgramSettings(); }

void frmOEEntry::ZoomIC(const std::string& sLocation, int16_t iDocType) {
    panel_->ZoomIC(sLocation, iDocType);
}

// ---- Size
// ----------------------------------------------------------------------------------------

int frmOEEntry::OuterWidthTwips() const { return accpac::PixelsToTwipsX(frameGeometry().width()); }
int frmOEEntry::OuterHeightTwips() const {
    return accpac::PixelsToTwipsY(frameGeometry().height());
}

void frmOEEntry::SetOuterWidthTwips(int twips) {
    const int frame = frameGeometry().width() - width();
    resize(std::max(1, accpac::TwipsToPixelsX(twips) - frame), height());
}

void frmOEEntry::SetOuterHeightTwips(int twips) {
    const int frame = frameGeometry().height() - height();
    resize(width(), std::max(1, accpac::TwipsToPixelsY(twips) - frame));
}

// ---- The hosted screen
// ---------------------------------------------------------------------------

void frmOEEntry::ctlDynamic_ObjectEvent(const QString& name, const QVariantMap& parameters) {
    // The screen's notifications have no error handling of their own; an error must not
    // escape into the toolkit's event delivery, so it is shown here and order entry goes on.
    try {
        if (name.compare("OnUIForceSize", Qt::CaseInsensitive) == 0) {
            int16_t width = ToInt16Clamped(parameters.value("sNewWidth"));
            int16_t height = ToInt16Clamped(parameters.value("sNewHeight"));
            UI_OnUiForceSize(width, height);
        } else if (name.compare("OnUIAppOpened", Qt::CaseInsensitive) == 0) {
            UI_OnUIAppOpened();
        } else if (name.compare("OnUIAppClosed", Qt::CaseInsensitive) == 0) {
            close();
        }
    } catch (...) {
        MsgBox(DescribeException(std::current_exception()), MsgIcon::Exclamation);
    }
}

void frmOEEntry::UI_OnUiForceSize(int16_t& width, int16_t& height) {
    IgnoreErrors([&] { SetOuterHeightTwips(height); });
    IgnoreErrors([&] { SetOuterWidthTwips(width); });
    // The size the screen asks for shows every button and the whole panel: the window
    // cannot be made smaller.
    setMinimumSize(size());
}

void frmOEEntry::UI_OnUIAppOpened() {
    if (!ctlDynamic_) NoObject("ctlDynamic");
    QObject* screen = ctlDynamic_->Object();
    QObject* header = ScreenControl(screen, "UIDSControls", "adsOEORDH");
    QObject* detail = ScreenControl(screen, "UIDSControls", "adsOEORDD");
    QObject* detailList = ScreenControl(screen, "UIAppControls", "avlOEORDDdetail1");
    panel_->ConnectOrderSources(header, detail, detailList);
    LayoutQuantityPanel();
}

void frmOEEntry::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!ctlDynamic_) return;
    IgnoreErrors([&] { accpac::ResizeTwips(ctlDynamic_, OuterWidthTwips(), OuterHeightTwips()); });
    LayoutQuantityPanel();
}

void frmOEEntry::LayoutQuantityPanel() {
    // Any error ends the layout quietly; what was set before it stays.
    try {
        accpac::Frame* frame = panel_->frmQTY;
        frame->SetCaption(panel_->LocationDescription());
        panel_->lblLocation->setText(QString::fromStdString("Location " + panel_->LocationCode()));
        if (!ctlDynamic_) NoObject("ctlDynamic");
        QObject* screen = ctlDynamic_->Object();
        QObject* save = ScreenControl(screen, "UIAppControls", "APP_Save_Button");
        QObject* closeButton = ScreenControl(screen, "UIAppControls", "APP_Close_Button");
        const int saveTop = accpac::GetProperty(save, "Top").toInt();
        const int saveLeft = accpac::GetProperty(save, "Left").toInt();
        const int saveHeight = accpac::GetProperty(save, "height").toInt();
        const int closeLeft = accpac::GetProperty(closeButton, "Left").toInt();
        const int closeWidth = accpac::GetProperty(closeButton, "width").toInt();
        const int top = saveTop + saveHeight + kPanelGapTwips;
        const int width = closeLeft + closeWidth - saveLeft;
        frame->move(accpac::TwipsToPixelsX(saveLeft), accpac::TwipsToPixelsY(top));
        frame->resize(accpac::TwipsToPixelsX(width), frame->height());
        frame->show();
        frame->raise();  // above the hosted screen, which fills the window
    } catch (...) {
    }
}

// ---- Shutdown
// -------------------------------------------------------------------------------------

void frmOEEntry::closeEvent(QCloseEvent* event) {
    // Closing is never refused and asks nothing.
    event->accept();
    if (state_ == StartState::Running) state_ = StartState::Closed;
    Shutdown();
}

void frmOEEntry::Shutdown() {
    if (shutDown_ || state_ == StartState::Ended) return;
    shutDown_ = true;
    IgnoreErrors([&] { panel_->CloseQuantitySources(); });
    IgnoreErrors([&] { panel_->ReleaseOrderSources(); });
    IgnoreErrors([&] {
        if (ctlDynamic_) {
            ctlDynamic_->hide();
            ctlDynamic_->deleteLater();  // it may be delivering the event that closed us
            ctlDynamic_ = nullptr;
        }
    });
    IgnoreErrors([&] {
        if (sessionManager_ && sessionManager_->SignonPrompt())
            sessionManager_->EndSignon(sessionID_);
    });
    IgnoreErrors([&] {
        panel_->SetSession(nullptr);
        session_.reset();
    });
    IgnoreErrors([&] { sessionManager_.reset(); });
}

}  // namespace lumaro
