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

// Runs messages sent from other threads, the pump hooks, posted messages, due timers and
// toolkit events once, without blocking. A handler may call it again (nested loops).
// Does nothing on any thread but the GUI thread.
void PumpMessages();
// Blocks the GUI thread until something may need processing or the tick count reaches
// deadline (wrap-safe, as GetTickCount's), then pumps. Never spins.
void WaitAndPumpMessages(DWORD deadline);
// The same without a deadline of the caller's own: an idle GUI thread then wakes only for
// work, its timers and wake-ups. On another thread it waits a second.
void WaitAndPumpMessages();
// Blocks until WakeMainThread is called or the deadline passes, processing nothing; true
// when woken. For waits that must deliver only some kinds of work (a thread wait).
bool WaitForMainThreadWake(DWORD deadline);

// Pumps messages until the tick count has passed now + milliseconds, blocking in between.
void DelayWithMessages(DWORD milliseconds);

// The application's message loop: pumps and blocks until PostQuitMessage, whose exit code
// it returns. PostQuitMessage is safe from any thread.
// -1 at once on any thread but the GUI thread.
int RunMessageLoop();
void PostQuitMessage(int exitCode);

// The tick count the loop, its deadlines and timers use: GetTickCount unless a test
// replaces it (nullptr restores GetTickCount). A replacement must advance with real time.
DWORD EventLoopTicks();
void SetEventLoopClock(DWORD (*clock)());

// The thread that runs the event loop and owns every window: the thread that started the
// program, or the one that last called SetMainThread.
bool IsMainThread();
void SetMainThread();
