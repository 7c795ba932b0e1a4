// Measures what the program costs while it sits idle for ten seconds: the processor time of
// the whole process, and the GUI thread's wake-ups (the times it blocked and was woken) and
// write calls (each wake-up request a thread sends itself is one). Once with the splash
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
#include <sstream>
#include <string>
#include <thread>

namespace {

struct Sample {
    long long wakeups = -1;   // voluntary context switches of the GUI thread
    long long writes = -1;    // write calls of the GUI thread
    double cpu = -1;          // seconds of processor time of the whole process
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

Sample Take(pid_t pid)
{
    const std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid);
    Sample s;
    s.wakeups = FieldOf(task + "/status", "voluntary_ctxt_switches:");
    s.writes = FieldOf(task + "/io", "syscw: ");
    s.cpu = CpuOf(pid);
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
    const Sample a = Take(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const Sample b = Take(pid);
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
