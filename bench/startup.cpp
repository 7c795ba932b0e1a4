// Start-up of the program against an empty main window with a menu bar, both linked to the
// same toolkit libraries: time from launch to the main window's first exposure, time until
// the program first waits for events after that ("settled"), and resident memory then. The
// program runs with the splash turned off and with it on; the runs are interleaved so that
// the machine's mood touches all three alike. Prints medians and ratios to the empty window.
//   startup [rounds] [program] [empty window] [probe library]
// Runs on the display in DISPLAY (an Xvfb server, say), else offscreen.
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Run {
    double shownMs = -1, settledMs = -1, residentMb = -1;
};

struct Subject {
    const char* label;
    std::string program;
    bool quillmere;
    bool splash;
    std::vector<Run> runs;
};

long long NowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

void WriteSettings(const fs::path& config, bool splash)
{
    fs::create_directories(config / "quillmere");
    std::ofstream settings(config / "quillmere" / "registry.txt");
    settings << "[Software]\n\n[Software\\Quillmere]\n\n[Software\\Quillmere\\Options]\n"
             << "\"DisableSplashScreen\"=sz:\"" << (splash ? "0" : "1") << "\"\n";
}

Run Launch(const Subject& s, const std::string& probe, const fs::path& config)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    std::fflush(stdout);
    const long long start = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("QM_PROBE_FD", std::to_string(fds[1]).c_str(), 1);
        setenv("LD_PRELOAD", probe.c_str(), 1);
        if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execl(s.program.c_str(), s.program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    Run run;
    std::string text;
    const long long deadline = start + 30'000'000'000LL;
    while (run.settledMs < 0 && NowNs() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0)
            continue;
        char buf[256];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, static_cast<size_t>(n));
        std::istringstream lines(text);
        std::string what;
        long long ns;
        long kb;
        while (lines >> what >> ns >> kb) {
            const double ms = static_cast<double>(ns - start) / 1e6;
            if (what == "shown")
                run.shownMs = ms;
            else if (what == "settled") {
                run.settledMs = ms;
                run.residentMb = static_cast<double>(kb) / 1024.0;
            }
        }
    }
    close(fds[0]);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return run;
}

double Median(std::vector<double> v)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return x < 0; }), v.end());
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string program = argc > 2 ? argv[2] : QM_PROGRAM;
    const std::string empty = argc > 3 ? argv[3] : QM_EMPTY_WINDOW;
    const std::string probe = argc > 4 ? argv[4] : QM_PROBE;
    const fs::path folder = fs::temp_directory_path() / ("quillmere-startup-" + std::to_string(getpid()));

    std::vector<Subject> subjects = {{"empty window", empty, false, false, {}},
                                     {"splash off", program, true, false, {}},
                                     {"splash on", program, true, true, {}}};
    // Each keeps its settings folder from run to run, as a user's start does. One launch of
    // each before counting: the first pays for cold caches and writes the first settings.
    auto config = [&folder](const Subject& s) { return folder / s.label; };
    for (Subject& s : subjects) {
        WriteSettings(config(s), s.splash);
        Launch(s, probe, config(s));
    }
    for (int r = 0; r < rounds; ++r)
        for (Subject& s : subjects)
            s.runs.push_back(Launch(s, probe, config(s)));
    fs::remove_all(folder);

    std::printf("%d interleaved rounds, medians, on %s\n", rounds,
                std::getenv("DISPLAY") ? "the display" : "the offscreen platform");
    std::printf("%-14s %12s %12s %16s\n", "", "main window", "settled", "resident memory");
    const Subject& base = subjects[0];
    auto column = [](const Subject& s, double Run::*field) {
        std::vector<double> v;
        for (const Run& r : s.runs)
            v.push_back(r.*field);
        return Median(v);
    };
    const double bShown = column(base, &Run::shownMs), bSettled = column(base, &Run::settledMs),
                 bMem = column(base, &Run::residentMb);
    int failed = 0;
    for (const Subject& s : subjects) {
        const double shown = column(s, &Run::shownMs), settled = column(s, &Run::settledMs),
                     mem = column(s, &Run::residentMb);
        if (shown < 0 || settled < 0 || mem < 0) {
            std::printf("%-14s did not show its main window\n", s.label);
            ++failed;
            continue;
        }
        if (&s == &base)
            std::printf("%-14s %9.1f ms %9.1f ms %13.1f MB\n", s.label, shown, settled, mem);
        else
            std::printf("%-14s %9.1f ms %9.1f ms %13.1f MB   (%.2fx, %.2fx, %.2fx)\n", s.label, shown, settled,
                        mem, shown / bShown, settled / bSettled, mem / bMem);
    }
    return failed ? 1 : 0;
}
