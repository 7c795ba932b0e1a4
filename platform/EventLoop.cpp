#include "platform/EventLoop.h"

#include "platform/Kernel.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {
std::mutex gLock;
std::condition_variable gWake;
bool gWoken = false;
std::vector<bool (*)()> gHooks;
std::thread::id gMain = std::this_thread::get_id();
} // namespace

void WakeMainThread()
{
    {
        std::lock_guard<std::mutex> g(gLock);
        gWoken = true;
    }
    gWake.notify_all();
}

void AddMessagePumpHook(bool (*hook)())
{
    std::lock_guard<std::mutex> g(gLock);
    gHooks.push_back(hook);
}

void RemoveMessagePumpHook(bool (*hook)())
{
    std::lock_guard<std::mutex> g(gLock);
    gHooks.erase(std::remove(gHooks.begin(), gHooks.end(), hook), gHooks.end());
}

void PumpMessages()
{
    std::vector<bool (*)()> hooks;
    {
        std::lock_guard<std::mutex> g(gLock);
        hooks = gHooks;
    }
    for (auto h : hooks)
        h();
}

void WaitAndPumpMessages(DWORD deadline)
{
    DWORD now = GetTickCount();
    auto left = static_cast<int32_t>(deadline - now);
    if (left > 0) {
        std::unique_lock<std::mutex> g(gLock);
        gWake.wait_for(g, std::chrono::milliseconds(left), [] { return gWoken; });
        gWoken = false;
    }
    PumpMessages();
}

bool IsMainThread() { return std::this_thread::get_id() == gMain; }
void SetMainThread() { gMain = std::this_thread::get_id(); }
