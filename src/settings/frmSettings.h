#pragma once
// The settings dialog: the SYSOP user enters the connection string of the external
// database, the inventory location, the quantity query and the drilldown switch. The
// dialog neither reads nor writes the INI file; its caller fills the properties, shows it
// modally, reads ReturnCode and, after OK, the properties. Before accepting anything (and
// on Test Connection) it proves the settings usable: it opens the database and runs the
// query once for the location.

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/ProgramSettings.h"

class QCheckBox;
class QSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lumaro {

struct SettingsTestOutcome;

class frmSettings : public QDialog {
    Q_OBJECT

public:
    // How the dialog was closed.
    enum : int32_t { kReturnNone = 0, kReturnOK = 1, kReturnCancel = 2 };

    explicit frmSettings(QWidget* parent = nullptr);
    ~frmSettings() override;

    // Plain stores: a write keeps the value, a read returns it.
    const std::string& ConnectionString() const { return connectionString_; }
    void SetConnectionString(const std::string& value) { connectionString_ = value; }
    const std::string& Location() const { return location_; }
    void SetLocation(const std::string& value) { location_ = value; }
    const std::string& Query() const { return query_; }
    void SetQuery(const std::string& value) { query_ = value; }
    bool Drilldown() const { return drilldown_; }
    void SetDrilldown(bool value) { drilldown_ = value; }
    // Seconds a quantity lookup may take (1 to kMaxQueryTimeout).
    int QueryTimeout() const { return queryTimeout_; }
    void SetQueryTimeout(int value) { queryTimeout_ = value; }
    // 1 after OK with passing checks, 2 after Cancel, 0 until one of these.
    int32_t ReturnCode() const { return returnCode_; }
    void SetReturnCode(int32_t value) { returnCode_ = value; }

    // The company's locations, when the caller knows them: a location not among them is
    // refused. Without them the location is not checked against a list.
    void SetLocations(std::optional<std::vector<std::string>> locations) {
        locations_ = std::move(locations);
    }

    // Shows the dialog modally and returns once it has been hidden.
    void ShowModal();

    // The form's controls, in tab order.
    QLabel* lblConnection;
    QLineEdit* txtConnectionString;
    QLabel* lblLocation;
    QLineEdit* txtLocation;
    QLabel* lblQuery;
    QLineEdit* txtQuery;
    QCheckBox* chkDrilldown;
    QLabel* lblQueryTimeout;
    QSpinBox* spnQueryTimeout;
    QPushButton* cmdOK;
    QPushButton* cmdTest;
    QPushButton* cmdCancel;

protected:
    // Activation: the title and the controls are filled from the properties each time the
    // dialog is shown (not when it merely regains focus, so a failed check keeps the
    // user's entries).
    void showEvent(QShowEvent* event) override;
    // Esc presses the cancel button; closing the window any other way leaves ReturnCode 0.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cmdOK_Click();
    void cmdTest_Click();
    void cmdCancel_Click();
    bool ValidateSettings(SettingsTestOutcome& outcome);

    std::string connectionString_;
    std::string location_;
    std::string query_;
    bool drilldown_ = false;
    int queryTimeout_ = kDefaultQueryTimeout;
    int32_t returnCode_ = kReturnNone;
    std::optional<std::vector<std::string>> locations_;
};

}  // namespace lumaro
