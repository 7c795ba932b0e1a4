// Start-up of the program against an empty main window with a menu bar, both linked to the
// same toolkit libraries: time from launch to the main window's first exposure, time until
// the program first waits for events after that ("settled"), and resident memory then. The
// program runs with the splash turned off and with it on. The rounds are interleaved (each
// round launches all three, in an order that turns from round to round), so that the
// machine's mood touches all three alike, and each figure is given as the median with the
// least and the most of its rounds; the ratios to the empty window are taken round by round.
//   startup [rounds] [--busy] [program] [empty window] [probe library]
// --busy keeps one core busy beside the runs, as a user's machine often is.
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
#include <cstring>
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

struct Spread {
    double min = -1, median = -1, max = -1;
};

Spread SpreadOf(std::vector<double> v)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return x < 0; }), v.end());
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return {v.front(), n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.back()};
}

// A child that keeps one core busy until it is killed: the load, not the program measured.
pid_t StartBusyCore()
{
    const pid_t pid = fork();
    if (pid == 0) {
        volatile unsigned long spin = 0;
        for (;;)
            spin = spin + 1;
    }
    return pid;
}

} // namespace

int main(int argc, char** argv)
{
    bool busy = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--busy") == 0)
            busy = true;
        else
            args.push_back(argv[i]);
    }
    const int rounds = !args.empty() ? std::max(1, std::atoi(args[0].c_str())) : 15;
    const std::string program = args.size() > 1 ? args[1] : QM_PROGRAM;
    const std::string empty = args.size() > 2 ? args[2] : QM_EMPTY_WINDOW;
    const std::string probe = args.size() > 3 ? args[3] : QM_PROBE;
    const fs::path folder = fs::temp_directory_path() / ("quillmere-startup-" + std::to_string(getpid()));

    std::vector<Subject> subjects = {{"empty window", empty, false, false, {}},
                                     {"splash off", program, true, false, {}},
                                     {"splash on", program, true, true, {}}};
    const pid_t load = busy ? StartBusyCore() : -1;
    // Each keeps its settings folder from run to run, as a user's start does. One launch of
    // each before counting: the first pays for cold caches and writes the first settings.
    auto config = [&folder](const Subject& s) { return folder / s.label; };
    for (Subject& s : subjects) {
        WriteSettings(config(s), s.splash);
        Launch(s, probe, config(s));
    }
    const size_t n = subjects.size();
    for (int r = 0; r < rounds; ++r)
        for (size_t i = 0; i < n; ++i) {
            Subject& s = subjects[(i + static_cast<size_t>(r)) % n];
            s.runs.push_back(Launch(s, probe, config(s)));
        }
    if (load > 0) {
        kill(load, SIGKILL);
        waitpid(load, nullptr, 0);
    }
    fs::remove_all(folder);

    std::printf("%d interleaved rounds on %s%s; median [least - most]\n", rounds,
                std::getenv("DISPLAY") ? "the display" : "the offscreen platform",
                busy ? ", one core kept busy" : "");
    const Subject& base = subjects[0];
    int failed = 0;
    auto row = [](const char* what, const Spread& s, const char* unit) {
        std::printf("  %-16s %7.1f %s  [%.1f - %.1f]\n", what, s.median, unit, s.min, s.max);
    };
    auto ratioRow = [](const char* what, const Spread& s) {
        std::printf("  %-16s %7.2fx     [%.2f - %.2f]\n", what, s.median, s.min, s.max);
    };
    for (const Subject& s : subjects) {
        std::vector<double> shown, settled, mem, rShown, rSettled, rMem;
        for (size_t r = 0; r < s.runs.size(); ++r) {
            const Run& a = s.runs[r];
            const Run& b = base.runs[r];
            shown.push_back(a.shownMs);
            settled.push_back(a.settledMs);
            mem.push_back(a.residentMb);
            const bool both = a.settledMs >= 0 && b.settledMs >= 0 && b.shownMs > 0 && b.residentMb > 0;
            rShown.push_back(both ? a.shownMs / b.shownMs : -1);
            rSettled.push_back(both ? a.settledMs / b.settledMs : -1);
            rMem.push_back(both ? a.residentMb / b.residentMb : -1);
        }
        std::printf("%s\n", s.label);
        if (SpreadOf(settled).median < 0) {
            std::printf("  did not show its main window\n");
            ++failed;
            continue;
        }
        row("main window", SpreadOf(shown), "ms");
        row("settled", SpreadOf(settled), "ms");
        row("resident memory", SpreadOf(mem), "MB");
        if (&s == &base)
            continue;
        ratioRow("x main window", SpreadOf(rShown));
        ratioRow("x settled", SpreadOf(rSettled));
        ratioRow("x memory", SpreadOf(rMem));
    }
    return failed ? 1 : 0;
}
