// Loaded into a program under measurement (LD_PRELOAD) by the start-up benchmark. It writes to
// the descriptor named in QM_PROBE_FD, on the monotonic clock: when the main window (the first
// top-level window with a menu bar) is first exposed, and when the GUI thread first waits for
// events after that, with the resident memory at that moment. The same probe in both programs
// measures both the same way, and neither program needs to know about it.
// With QM_PROBE_QUIT_MS set, the probe also ends the program that many milliseconds after it
// settled, through the event loop, so a profiler around it sees a whole run and a clean exit.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int ProbeFd = -1;
bool Exposed = false;
bool Settled = false;

long long NowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

long ResidentKb()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kb = std::atol(line + 6);
    std::fclose(f);
    return kb;
}

void Report(const char* what, long long ns, long kb)
{
    if (ProbeFd < 0)
        return;
    char text[96];
    const int n = std::snprintf(text, sizeof text, "%s %lld %ld\n", what, ns, kb);
    if (n > 0 && write(ProbeFd, text, static_cast<size_t>(n)) < 0)
        ProbeFd = -1;
}

bool IsMainWindow(QObject* o)
{
    auto* window = qobject_cast<QWindow*>(o);
    if (!window || !window->isExposed())
        return false;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == window && w->findChild<QMenuBar*>())
            return true;
    return false;
}

// As the user would: the program's own loop ends when its main window is gone.
void CloseMainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->findChild<QMenuBar*>())
            w->close();
    QCoreApplication::quit();
}

class Probe : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (!Exposed && e->type() == QEvent::Expose && IsMainWindow(o)) {
            Exposed = true;
            Report("shown", NowNs(), ResidentKb());
            if (auto* d = QAbstractEventDispatcher::instance())
                QObject::connect(d, &QAbstractEventDispatcher::aboutToBlock, this, [] {
                    if (Settled)
                        return;
                    Settled = true;
                    Report("settled", NowNs(), ResidentKb());
                    if (const char* quit = std::getenv("QM_PROBE_QUIT_MS"))
                        QTimer::singleShot(std::atoi(quit), qApp, &CloseMainWindow);
                });
        }
        return false;
    }
};

void InstallProbe()
{
    const char* fd = std::getenv("QM_PROBE_FD");
    if (!fd && !std::getenv("QM_PROBE_QUIT_MS"))
        return;
    ProbeFd = fd ? std::atoi(fd) : -1;
    auto* app = QCoreApplication::instance();
    app->installEventFilter(new Probe);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
