#include "UiTestSupport.h"

#include <QApplication>

namespace accpac::local::test {

std::vector<InquiryScreen*> OpenInquiries() {
    std::vector<InquiryScreen*> screens;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<InquiryScreen*>(w); s && s->isVisible()) screens.push_back(s);
    return screens;
}

InquiryScreen* LaunchInquiry(LocalSession& session, const std::string& parameters,
                             const std::string& screenId, int32_t owner) {
    std::string text1, text2, text3;
    session.PrepareScreen("IC1900", parameters, text1, text2, text3);
    std::shared_ptr<ScreenLauncher> launcher = Platform::Get().CreateScreenLauncher();
    launcher->Prepare(text2, text3, screenId, session.LauncherText(), parameters);
    const std::string result = launcher->Run(owner);
    launcher->Close();
    std::vector<InquiryScreen*> screens = OpenInquiries();
    return result == screenId && screens.size() == 1 ? screens[0] : nullptr;
}

}  // namespace accpac::local::test
