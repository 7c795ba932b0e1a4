#pragma once
// The GUI thread's event loop: what other threads use to wake it, and the hooks that the
// upper layers add to it (running synchronised calls, posted messages, timers).
#include "platform/WinTypes.h"

// Wakes the GUI thread if it is blocked waiting for events. Safe from any thread.
void WakeMainThread();

// A pump hook runs on the GUI thread each time messages are processed; it returns true
// when it did some work. Hooks run in the order they were added.
void AddMessagePumpHook(bool (*hook)());
void RemoveMessagePumpHook(bool (*hook)());

// Runs every pending hook, posted message, timer and toolkit event once, without blocking.
void PumpMessages();
// Blocks the GUI thread until something may need processing or the tick count reaches
// deadline (wrap-safe, as GetTickCount's), then pumps. Never spins.
void WaitAndPumpMessages(DWORD deadline);

// The thread that runs the event loop (the thread that first called any of these, or
// that called SetMainThread).
bool IsMainThread();
void SetMainThread();
