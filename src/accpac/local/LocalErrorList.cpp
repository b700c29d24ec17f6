#include "accpac/local/LocalErrorList.h"

namespace accpac::local {

int LocalErrorList::Count() const { return static_cast<int>(entries_.size()); }

ErrorEntry LocalErrorList::Item(int index) const {
    if (index < 0 || index >= Count())
        throw lumaro::RuntimeError::Standard(lumaro::kErrSubscriptOutOfRange, "ErrorList");
    return entries_[static_cast<size_t>(index)];
}

void LocalErrorList::Add(const ErrorEntry& entry) { entries_.push_back(entry); }

void LocalErrorList::Clear() { entries_.clear(); }

void LocalErrorList::Add(const lumaro::RuntimeError& error) {
    Add(ErrorEntry{kLevelError, error.Description(), error.Source(), error.Number()});
}

namespace {
thread_local int g_scopeDepth = 0;
}

ErrorScope::Depth::Depth() : outermost(g_scopeDepth == 0) { ++g_scopeDepth; }
ErrorScope::Depth::~Depth() { --g_scopeDepth; }

void ErrorScope::Record(const lumaro::RuntimeError& error) {
    if (list_)
        list_->Add(ErrorEntry{kLevelError, error.Description(), error.Source(), error.Number()});
}

}  // namespace accpac::local
