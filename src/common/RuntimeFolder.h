#pragma once
// Qt wants a private runtime folder (XDG_RUNTIME_DIR) and warns on every start without one,
// as happens outside a desktop session (a terminal on a server, CTest listing the tests).

namespace lumaro {

// Sets XDG_RUNTIME_DIR to /tmp/lumaro-runtime-<uid> (created, mode 0700) when it is unset
// or empty. Call before the application object is made.
void UsePrivateRuntimeFolder();

}  // namespace lumaro
