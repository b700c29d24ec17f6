#pragma once
// Creation of the platform's objects and controls: what creating a COM object by class ID
// or ProgID gives on Windows. The program calls Platform::Get(); the executable (or a
// test) installs the implementation once at start.

#include <QObject>
#include <QWidget>
#include <memory>
#include <string>

#include "accpac/Controls.h"
#include "accpac/DataSource.h"
#include "accpac/Session.h"
#include "common/StandardErrors.h"

namespace accpac {

// Raised when an object cannot be created (class not registered, no platform).
enum : int32_t { kErrCannotCreateObject = 429 };
inline constexpr int32_t kErrObjectDoesNotSupport = lumaro::kErrObjectDoesNotSupport;

class Platform {
public:
    virtual ~Platform() = default;

    // The installed platform; raises kErrCannotCreateObject when none is installed.
    static Platform& Get();
    static void Install(Platform* platform);  // nullptr uninstalls

    virtual std::shared_ptr<SessionManager> CreateSessionManager() = 0;
    virtual std::shared_ptr<ErrorDisplay> CreateErrorDisplay() = 0;
    virtual std::shared_ptr<ControlInstaller> CreateControlInstaller() = 0;
    virtual std::shared_ptr<ScreenLauncher> CreateScreenLauncher() = 0;

    // Creates a late-bound object by ProgID through the machine's class registration
    // (e.g. "Accpac.SpyTarget"); raises kErrCannotCreateObject when it is not registered.
    virtual QObject* CreateObject(const std::string& progId, QObject* parent) = 0;

    // The design-time controls of a window.
    virtual DataSource* CreateDataSource(const std::string& viewId, QObject* parent) = 0;
    // A field edit control bound to a data source and a field name ("" for none).
    virtual FieldEdit* CreateFieldEdit(DataSource* source, const std::string& fieldName,
                                       QWidget* parent) = 0;
    virtual Frame* CreateFrame(QWidget* parent) = 0;

    // Adds a control to a window by ProgID, resolved through the machine's class
    // registration, under the given control name (the Controls.Add of the window).
    virtual ControlExtender* AddControl(const std::string& progId, const std::string& name,
                                        QWidget* parent) = 0;
};

}  // namespace accpac
