#pragma once
// Helpers for the "errors ignored" style: a step that fails is skipped and the next
// one runs.

#include <utility>

namespace lumaro {

// Runs one step; any exception it throws is dropped. Returns whether it completed.
template <typename Step>
bool IgnoreErrors(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace lumaro
