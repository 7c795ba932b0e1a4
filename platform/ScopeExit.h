#pragma once
// Runs a clean-up when the scope ends, by return or by exception: the state a function
// changes for a while is put back on every way out.
#include <exception>
#include <utility>

template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    // A clean-up that fails on a normal exit reports its failure to the caller. While an
    // exception is already on its way the clean-up's own failure is dropped: the first fault
    // is the one to report, and a second exception in flight would end the program.
    ~ScopeExit() noexcept(false)
    {
        if (!armed_)
            return;
        if (std::uncaught_exceptions() == exceptions_) {
            f_();
            return;
        }
        try {
            f_();
        } catch (...) {
        }
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    // From here on the clean-up is someone else's.
    void Dismiss() { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
    int exceptions_ = std::uncaught_exceptions();
};
