#include "accpac/local/ui/LocalScreenLauncher.h"

#include <QWidget>
#include <memory>

#include "accpac/local/ClassTable.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/InquiryScreen.h"
#include "common/RuntimeError.h"

namespace accpac::local {

namespace {
constexpr const char* kSource = "ScreenLauncher";

[[noreturn]] void Fail(int32_t number, const std::string& description) {
    throw lumaro::RuntimeError(number, kSource, description);
}
}  // namespace

void LocalScreenLauncher::Prepare(const std::string& clsid, const std::string& codeBase,
                                  const std::string& screenId, const std::string& launcherText,
                                  const std::string& parameters) {
    clsid_ = clsid;
    codeBase_ = codeBase;
    screenId_ = screenId;
    launcherText_ = launcherText;
    parameters_ = parameters;
    prepared_ = true;
}

std::string LocalScreenLauncher::Run(int32_t ownerHwnd) {
    if (!prepared_) Fail(kErrScreenNotRegistered, "The screen launcher has not been prepared.");
    std::shared_ptr<LocalSession> session = LocalSession::FromLauncherText(launcherText_);
    if (!session)
        Fail(kErrSessionClosed,
             "Screen \"" + screenId_ + "\" cannot be started: its sign-on is not open.");

    return ErrorScope(&session->Errors())(kSource, [&] {
        std::string registeredClsid, codeBase;
        if (!session->GetScreenRegistration(screenId_, 0, registeredClsid, codeBase))
            Fail(kErrScreenNotRegistered,
                 "Screen \"" + screenId_ + "\" is not registered on this computer.");
        if (NormalizeClsid(registeredClsid) != NormalizeClsid(clsid_))
            Fail(kErrScreenNotRegistered, "Screen \"" + screenId_ + "\" is registered as " +
                                              registeredClsid + ", not as " + clsid_ + ".");
        std::unique_ptr<QObject> object(ClassTable::Instance().CreateByClsid(clsid_, nullptr));
        auto* screen = dynamic_cast<LaunchableScreen*>(object.get());
        auto* widget = qobject_cast<QWidget*>(object.get());
        if (!screen || !widget)
            Fail(kErrScreenNotRegistered, "Screen \"" + screenId_ + "\" cannot be launched.");
        if (QWidget* owner = ownerHwnd
                                 ? QWidget::find(static_cast<WId>(static_cast<uint32_t>(ownerHwnd)))
                                 : nullptr)
            widget->setParent(owner->window(), Qt::Window);
        screen->Launch(*session, parameters_);
        object.release();  // the screen's window deletes it when closed
        return screenId_;
    });
}

void LocalScreenLauncher::Close() { prepared_ = false; }

}  // namespace accpac::local
