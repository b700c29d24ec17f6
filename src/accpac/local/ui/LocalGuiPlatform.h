#pragma once
// The local platform with its controls, dialogs and screens: the accpac::Platform the
// executable installs (Platform::Install). Session managers ask for sign-ons with the
// sign-on dialog, error displays show the error dialog, and the Order Entry ("OE1100")
// and inventory inquiry ("IC1900") screens are classes of the class table, created by
// ProgID through the machine's class registration.

#include "accpac/local/LocalPlatform.h"

namespace accpac::local {

// Makes the screen classes known to the class table (the installation registers them).
void RegisterScreenClasses();

class LocalGuiPlatform : public LocalPlatform {
public:
    LocalGuiPlatform();

    std::shared_ptr<ScreenLauncher> CreateScreenLauncher() override;
    FieldEdit* CreateFieldEdit(DataSource* source, const std::string& fieldName,
                               QWidget* parent) override;
    Frame* CreateFrame(QWidget* parent) override;
    // Raises 429 when the ProgID is not registered on the machine or its class is unknown.
    ControlExtender* AddControl(const std::string& progId, const std::string& name,
                                QWidget* parent) override;
};

}  // namespace accpac::local
