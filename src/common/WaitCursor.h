#pragma once
// Shows the hourglass pointer for the life of the object and then puts back the pointer
// that was set before. The GUI installs the hooks that change the real pointer; without
// them nothing happens, so plain C++ code can use it freely.

#include <functional>

namespace lumaro {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // show: set the hourglass on top of the current pointer; restore: undo one show.
    static void SetHooks(std::function<void()> show, std::function<void()> restore);
};

}  // namespace lumaro
