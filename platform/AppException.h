#pragma once
// Where an exception goes that reached a toolkit entry point: nothing may unwind into Qt.
// The application installs its HandleException here; until then the message goes to stderr.
#include <exception>
#include <functional>

void SetUnhandledExceptionHandler(std::function<void(std::exception_ptr)> handler);
// Never throws, even when the handler does.
void ReportUnhandledException(std::exception_ptr e) noexcept;

// Runs f, reporting anything it throws. For every call from Qt into the upper layers.
template <class F> void GuardedCall(F&& f) noexcept
{
    try {
        f();
    } catch (...) {
        ReportUnhandledException(std::current_exception());
    }
}
