#include "accpac/Platform.h"

#include "common/RuntimeError.h"

namespace accpac {

namespace {
Platform* g_platform = nullptr;
}

Platform& Platform::Get() {
    if (!g_platform)
        throw lumaro::RuntimeError(kErrCannotCreateObject, "Platform",
                                   "ActiveX component can't create object");
    return *g_platform;
}

void Platform::Install(Platform* platform) { g_platform = platform; }

DataSource::~DataSource() = default;
FieldEdit::~FieldEdit() = default;
Frame::~Frame() = default;
ControlExtender::~ControlExtender() = default;

}  // namespace accpac
