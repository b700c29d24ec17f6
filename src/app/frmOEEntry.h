#pragma once
// The program's main window: it signs on to the platform, hosts the platform's Order Entry
// screen ("OE1100") and shows the Quantity panel under the screen's Save and Close buttons.
// Creating and loading the window is the whole of start-up; the program ends when the
// window closes.

#include <QMainWindow>
#include <QPointer>
#include <QVariantMap>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "accpac/Controls.h"
#include "accpac/Session.h"
#include "common/Variant.h"

class QMenu;
class QAction;

namespace lumaro {

class AccpacPaths;
class ProgramSettings;
class QuantityPanel;

// Shows the session's error list through the platform's error display, then clears it.
void ShowSessionErrors(accpac::Session& session);
// Records one error (level 3) in the session's error list through the error display.
void ReportSessionError(accpac::Session& session, const std::string& message);
// Whether the DB link lists the application (ID compared exactly) as active. Errors pass
// to the caller.
bool IsApplicationActive(accpac::DBLink& dbLink, const std::string& applicationID);

class frmOEEntry : public QMainWindow {
    Q_OBJECT
public:
    // How start-up left the window.
    enum class StartState {
        NotLoaded,  // Load has not run
        Running,    // start-up complete: the hosted screen and the panel run
        Closed,     // the window was closed (its shutdown ran)
        Ended,      // the program ended at once, without shutdown
    };

    // commandLine: the program's arguments as one text (words separated by blanks). The
    // platform (accpac::Platform) must be installed before the window is created.
    explicit frmOEEntry(const std::string& commandLine, QWidget* parent = nullptr);
    ~frmOEEntry() override;

    // Initialises the common controls; true when no error occurred (nothing to do here).
    static bool InitCommonControlsSafe();
    // True when the command line holds the word /login (case ignored).
    static bool HasLoginSwitch(const std::string& commandLine);

    // The start-up sequence (the window's load). A second call does nothing.
    void Load();
    StartState State() const { return state_; }
    // The program's exit code when start-up did not leave the window running: 0 after a
    // cancelled sign-on, 1 when start-up ended or closed the window because of a fault.
    int StartupExitCode() const { return startupFailed_ || state_ == StartState::Ended ? 1 : 0; }

    // Passed to the session manager and the hosted screen; always empty.
    std::string ServerName;

    // The platform error list of the window's session, shown / cleared through the
    // platform's error display.
    Variant ShowErrors();
    Variant ClearErrors();

    // The settings and the panel are the window's own.
    ProgramSettings& Settings() { return *settings_; }
    std::string ConnectionString() const;
    void SetConnectionString(const std::string& value);
    std::string Location() const;
    void SetLocation(const std::string& value);
    std::string Query() const;
    void SetQuery(const std::string& value);
    bool Drilldown() const;
    void SetDrilldown(bool value);
    bool CreateINIFile();
    bool CheckProgramSettings();

    QuantityPanel& Panel() { return *panel_; }
    void ZoomIC(const std::string& sLocation, int16_t iDocType);

    // The hosted screen's notifications.
    void UI_OnUiForceSize(int16_t& width, int16_t& height);
    void UI_OnUIAppOpened();

    // What the window holds.
    bool SignonPromptFlag() const { return signonPrompt_; }
    int32_t SessionID() const { return sessionID_; }
    const std::shared_ptr<accpac::Session>& Session() const { return session_; }
    const std::shared_ptr<accpac::SessionManager>& SessionManager() const {
        return sessionManager_;
    }
    const std::shared_ptr<accpac::DBLink>& DBLink() const { return dbLink_; }
    AccpacPaths* Paths() const { return paths_.get(); }
    accpac::ControlExtender* ctlDynamic() const { return ctlDynamic_; }
    QWidget* ClientArea() const { return client_; }
    QAction* mnuFile_Close() const { return mnuFileClose_; }

    // The window's outer size in twips (frame included).
    int OuterWidthTwips() const;
    int OuterHeightTwips() const;
    void SetOuterWidthTwips(int twips);
    void SetOuterHeightTwips(int twips);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void RunStartup();
    bool CreateHostedScreen();
    // Runs one step of start-up under its single error handler: an error shows the
    // session's errors (if any) and start-up resumes after the step. False on error.
    template <typename Step>
    bool Step(Step&& step);
    void HandleStartupError(std::exception_ptr error);
    void EndProgram();
    void CloseWindow();
    void Shutdown();
    void ctlDynamic_ObjectEvent(const QString& name, const QVariantMap& parameters);
    void LayoutQuantityPanel();
    void ConnectScreenSources();

    bool signonPrompt_ = false;
    bool loaded_ = false;
    bool shutDown_ = false;
    bool startupFailed_ = false;
    StartState state_ = StartState::NotLoaded;

    std::shared_ptr<accpac::SessionManager> sessionManager_;
    int32_t sessionID_ = 0;
    std::shared_ptr<accpac::Session> session_;
    std::unique_ptr<AccpacPaths> paths_;
    std::shared_ptr<accpac::DBLink> dbLink_;
    QPointer<accpac::ControlExtender> ctlDynamic_;

    QWidget* client_ = nullptr;
    QMenu* mnuFile_ = nullptr;
    QAction* mnuFileClose_ = nullptr;
    std::unique_ptr<ProgramSettings> settings_;
    std::unique_ptr<QuantityPanel> panel_;
};

}  // namespace lumaro
