#pragma once
// Runs a clean-up when the scope ends, by return or by exception: the state a function
// changes for a while is put back on every way out.
#include <utility>

template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit()
    {
        if (armed_)
            f_();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    // From here on the clean-up is someone else's.
    void Dismiss() { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};
