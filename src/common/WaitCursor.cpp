#include "common/WaitCursor.h"

namespace lumaro {

namespace {
std::function<void()>& ShowHook() {
    static std::function<void()> hook;
    return hook;
}
std::function<void()>& RestoreHook() {
    static std::function<void()> hook;
    return hook;
}
}  // namespace

WaitCursor::WaitCursor() {
    if (ShowHook()) ShowHook()();
}

WaitCursor::~WaitCursor() {
    if (RestoreHook()) RestoreHook()();
}

void WaitCursor::SetHooks(std::function<void()> show, std::function<void()> restore) {
    ShowHook() = std::move(show);
    RestoreHook() = std::move(restore);
}

}  // namespace lumaro
