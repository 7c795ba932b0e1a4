#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int WatchedSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Written by the handler, read by the event loop: a write to a pipe is one of the few
// things a signal handler may do.
int gPipe[2] = {-1, -1};
void (*gOnSignal)(int) = nullptr;
QSocketNotifier* gNotifier = nullptr;

void NoteSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(gPipe[1], &number, 1);
    errno = saved;
}

void HandOn()
{
    unsigned char numbers[16];
    ssize_t n = 0;
    while ((n = read(gPipe[0], numbers, sizeof numbers)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            if (gOnSignal)
                gOnSignal(numbers[i]);
}

void SetHandlers(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : WatchedSignals)
        sigaction(s, &action, nullptr);
}

} // namespace

void WatchTerminationSignals(void (*onSignal)(int signal))
{
    gOnSignal = onSignal;
    if (!gNotifier) {
        if (pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        gNotifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(gNotifier, &QSocketNotifier::activated, gNotifier, [] { HandOn(); });
    }
    SetHandlers(&NoteSignal);
}

void StopWatchingTerminationSignals()
{
    SetHandlers(SIG_DFL);
    gOnSignal = nullptr;
}
