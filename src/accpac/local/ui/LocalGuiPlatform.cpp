#include "accpac/local/ui/LocalGuiPlatform.h"

#include <memory>

#include "accpac/local/ClassTable.h"
#include "accpac/local/ui/ControlHost.h"
#include "accpac/local/ui/ErrorDisplayDialog.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "accpac/local/ui/FrameControl.h"
#include "accpac/local/ui/InquiryScreen.h"
#include "accpac/local/ui/LocalScreenLauncher.h"
#include "accpac/local/ui/OrderEntryScreen.h"
#include "accpac/local/ui/SignonDialog.h"

namespace accpac::local {

namespace {
QWidget* AsWidget(QObject* parent) { return qobject_cast<QWidget*>(parent); }
}  // namespace

void RegisterScreenClasses() {
    ClassTable& classes = ClassTable::Instance();
    classes.Register(kOE1100Clsid, kOE1100ProgID, [](QObject* parent) -> QObject* {
        return new OrderEntryScreen(AsWidget(parent));
    });
    classes.Register(kIC1900Clsid, kIC1900ProgID, [](QObject* parent) -> QObject* {
        return new InquiryScreen(AsWidget(parent));
    });
}

LocalGuiPlatform::LocalGuiPlatform() {
    RegisterScreenClasses();
    SetSignonPrompt(PromptSignon);
    SetErrorDisplayHook(ShowSessionErrors);
}

std::shared_ptr<ScreenLauncher> LocalGuiPlatform::CreateScreenLauncher() {
    return std::make_shared<LocalScreenLauncher>();
}

FieldEdit* LocalGuiPlatform::CreateFieldEdit(DataSource* source, const std::string& fieldName,
                                             QWidget* parent) {
    return new FieldEditControl(source, fieldName, parent);
}

Frame* LocalGuiPlatform::CreateFrame(QWidget* parent) { return new FrameControl(parent); }

ControlExtender* LocalGuiPlatform::AddControl(const std::string& progId, const std::string& name,
                                              QWidget* parent) {
    // Created through the registration first: an unregistered ProgID leaves nothing behind.
    std::unique_ptr<QObject> object(ClassTable::Instance().CreateByProgID(progId, nullptr));
    auto* host = new ControlHost(name, parent);
    host->SetObject(object.release());
    return host;
}

}  // namespace accpac::local
