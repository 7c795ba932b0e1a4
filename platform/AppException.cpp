#include "platform/AppException.h"

#include <cstdio>
#include <exception>
#include <mutex>

namespace {
std::mutex gLock;
std::function<void(std::exception_ptr)>& Handler()
{
    static std::function<void(std::exception_ptr)> h;
    return h;
}

void WriteToStderr(std::exception_ptr e) noexcept
{
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        std::fprintf(stderr, "%s\n", ex.what());
    } catch (...) {
        std::fprintf(stderr, "Unknown exception\n");
    }
}
} // namespace

void SetUnhandledExceptionHandler(std::function<void(std::exception_ptr)> handler)
{
    std::lock_guard<std::mutex> g(gLock);
    Handler() = std::move(handler);
}

void ReportUnhandledException(std::exception_ptr e) noexcept
{
    if (!e)
        return;
    std::function<void(std::exception_ptr)> h;
    {
        std::lock_guard<std::mutex> g(gLock);
        h = Handler();
    }
    if (!h) {
        WriteToStderr(e);
        return;
    }
    try {
        h(e);
    } catch (...) {
        // The handler itself failed: the last resort is the console.
        WriteToStderr(e);
    }
}
