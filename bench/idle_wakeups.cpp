// Measures what the program costs while it sits idle for ten seconds: the processor time of
// the whole process, the GUI thread's wake-ups (the times it blocked and was woken) and
// write calls (each wake-up request a thread sends itself is one), and the context switches
// of all its threads together (helper threads a paint starts count too). Once with the splash
// shown (its picture changes every 500 ms), once with the splash turned off in the settings.
// The program runs as a child with its own settings folder; the first seconds of start-up are
// left out.
//   idle_wakeups [program] [seconds]
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace {

struct Sample {
    long long wakeups = -1;   // voluntary context switches of the GUI thread
    long long writes = -1;    // write calls of the GUI thread
    double cpu = -1;          // seconds of processor time of the whole process
    long long switches = 0;   // voluntary and involuntary context switches of every thread
    int threads = 0;
};

long long FieldOf(const std::string& path, const std::string& name)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name, 0) == 0)
            return std::atoll(line.c_str() + name.size());
    return -1;
}

double CpuOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The fields after the command name, which may hold blanks, start after its ')'.
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::atoll(field.c_str());
        if (i == 15)
            stime = std::atoll(field.c_str());
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Per thread, so that a thread that ended between two samples still counts what it did
// while it was there.
using Switches = std::map<std::string, long long>;

Switches SwitchesOf(pid_t pid)
{
    Switches all;
    std::error_code ec;
    for (const auto& t : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        const std::string status = t.path().string() + "/status";
        const long long v = FieldOf(status, "voluntary_ctxt_switches:");
        const long long n = FieldOf(status, "nonvoluntary_ctxt_switches:");
        if (v >= 0 && n >= 0)
            all[t.path().filename().string()] = v + n;
    }
    return all;
}

Sample Take(pid_t pid, Switches* since)
{
    const std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid);
    Sample s;
    s.wakeups = FieldOf(task + "/status", "voluntary_ctxt_switches:");
    s.writes = FieldOf(task + "/io", "syscw: ");
    s.cpu = CpuOf(pid);
    const Switches now = SwitchesOf(pid);
    s.threads = static_cast<int>(now.size());
    for (const auto& [tid, n] : now) {
        const auto before = since ? since->find(tid) : Switches::const_iterator();
        s.switches += since && before != since->end() ? n - before->second : n;
    }
    if (since)
        *since = now;
    return s;
}

void Measure(const std::string& program, const char* label, bool splash, int seconds)
{
    namespace fs = std::filesystem;
    const fs::path config = fs::temp_directory_path() / ("quillmere-idle-" + std::to_string(getpid()));
    fs::create_directories(config / "quillmere");
    if (!splash) {
        std::ofstream settings(config / "quillmere" / "registry.txt");
        settings << "[Software]\n\n[Software\\Quillmere]\n\n[Software\\Quillmere\\Options]\n"
                 << "\"DisableSplashScreen\"=sz:\"1\"\n";
    }
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Its start-up chatter would only clutter the figures.
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    Switches switches;
    const Sample a = Take(pid, &switches);
    // Sampled every second, so that a helper thread that comes and goes is seen.
    long long switched = 0;
    Sample b = a;
    for (int s = 0; s < seconds; ++s) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        b = Take(pid, &switches);
        switched += b.switches;
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    fs::remove_all(config);
    if (a.wakeups < 0 || b.wakeups < 0) {
        std::printf("%-14s the program did not stay up\n", label);
        return;
    }
    const double cpu = b.cpu - a.cpu;
    std::printf("%-14s %d s idle: cpu %.2f s (%.2f%% of a core), GUI thread %lld wake-ups, %lld write calls\n",
                label, seconds, cpu, 100.0 * cpu / seconds, b.wakeups - a.wakeups, b.writes - a.writes);
    std::printf("%-14s all %d threads: %lld context switches, %.1f a second\n", "", b.threads, switched,
                static_cast<double>(switched) / seconds);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string program = argc > 1 ? argv[1] : QM_PROGRAM;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    Measure(program, "splash shown", true, seconds);
    Measure(program, "after splash", false, seconds);
    return 0;
}
