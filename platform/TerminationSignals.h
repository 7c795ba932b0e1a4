#pragma once
// SIGTERM, SIGHUP and SIGINT as requests to end the program: the signal handler only
// notes the signal, and the GUI thread's event loop hands it on.

// From now on each of the three signals calls onSignal with its number on the GUI thread,
// from the event loop (nested loops included). A later call replaces the callback.
void WatchTerminationSignals(void (*onSignal)(int signal));
// The three signals take their default actions again.
void StopWatchingTerminationSignals();
